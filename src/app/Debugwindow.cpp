#include "app/Debugwindow.h"

#include "app/Appinfo.h"
#include "app/Mainwindow.h"
#include "monitor/Monitorstate.h"
#include "protocol/Debugcore.h"
#include "settings/Profile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

using namespace telvor;

namespace {
// Keeps a rectangle inside the available screen area.
QRect keptOnScreen(QRect r) {
    QScreen* screen = QGuiApplication::screenAt(r.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return r;
    QRect area = screen->availableGeometry();
    r.setWidth(std::min(r.width(), area.width()));
    r.setHeight(std::min(r.height(), area.height()));
    r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    return r;
}
} // namespace

TDebugWindow::TDebugWindow(TProfile& profile, TDebugCore& core, const QRect& mainGeometry,
                           QWidget* parent)
    : QWidget(parent, Qt::Tool), profile_(profile), core_(core) {
    setObjectName("DebugWindow");
    setWindowTitle(QString(kAppTitle) + " Debug window");

    showCommands_ = new QCheckBox("Show all commands", this);
    showCommands_->setObjectName("ShowCommandsCheckBox");
    list_ = new QListWidget(this);
    list_->setObjectName("ErrorList");
    list_->setUniformItemSizes(true);
    counter_ = new QLabel("0", this);
    counter_->setObjectName("ErrorCountLabel");
    clear_ = new QPushButton("Clear list", this);
    clear_->setObjectName("ClearErrorsButton");

    auto* top = new QHBoxLayout;
    top->addWidget(showCommands_);
    top->addStretch();
    top->addWidget(new QLabel("Errors:", this));
    top->addWidget(counter_);
    top->addWidget(clear_);
    gpsAlmanac_ = new QLabel(" 0", this);
    gpsAlmanac_->setObjectName("GALabel");
    gloAlmanac_ = new QLabel(" 0", this);
    gloAlmanac_->setObjectName("NALabel");
    for (QLabel* l : {gpsAlmanac_, gloAlmanac_})
        l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(list_);
    layout->addWidget(gpsAlmanac_);
    layout->addWidget(gloAlmanac_);

    QRect g(profile_.read(keys::DebugX, mainGeometry.left()),
            profile_.read(keys::DebugY, mainGeometry.bottom() + 1),
            profile_.read(keys::DebugW, mainGeometry.width()),
            profile_.read(keys::DebugH, mainGeometry.height() * 2 / 3));
    g = keptOnScreen(g);
    move(g.topLeft());
    resize(std::max(g.width(), 200), std::max(g.height(), 100));

    bool showAll = profile_.read(keys::DebugShowCommands);
    showCommands_->setChecked(showAll);
    core_.setShowAllCommands(showAll);
    connect(showCommands_, &QCheckBox::toggled, this,
            [this](bool on) { core_.setShowAllCommands(on); });
    connect(clear_, &QPushButton::clicked, this, [this] { core_.clear(); });
    core_.setOnChange([this] { refresh(); });

    auto vis = debugWindowVisibility(profile_.read(keys::DebugShowCommErrors),
                                     profile_.read(keys::DebugShowDebugWindow));
    if (vis.rememberShown)
        profile_.write(keys::DebugShowDebugWindow, true);
    if (vis.visible)
        show();
}

TDebugWindow::~TDebugWindow() {
    core_.setOnChange(nullptr);
    core_.setVisible(false);
    if (profile_.read(keys::DebugShowDebugWindow))
        saveGeometry();
}

void TDebugWindow::saveGeometry() {
    profile_.write(keys::DebugX, x());
    profile_.write(keys::DebugY, y());
    profile_.write(keys::DebugW, width());
    profile_.write(keys::DebugH, height());
    profile_.write(keys::DebugShowCommands, showCommands_->isChecked());
}

void TDebugWindow::refresh() {
    auto lines = core_.lines();
    // The list only grows at its end or loses lines at its start; rebuild when it shrank.
    if (list_->count() > int(lines.size()) ||
        (list_->count() > 0 && list_->item(0)->text().toStdString() != lines.front())) {
        list_->clear();
    }
    for (int i = list_->count(); i < int(lines.size()); ++i)
        list_->addItem(QString::fromStdString(lines[i]));
    if (list_->count() > 0)
        list_->scrollToBottom();
    counter_->setText(QString::fromStdString(core_.counterLabel()));
}

// The program's end does not close this window (it is destroyed), so a close is the user's:
// the window hides, and stays hidden at the next start until the Help menu opens it.
void TDebugWindow::closeEvent(QCloseEvent* event) {
    if (profile_.read(keys::DebugShowDebugWindow))
        saveGeometry();
    profile_.write(keys::DebugShowDebugWindow, false);
    event->accept();
}

void TDebugWindow::changeEvent(QEvent* event) {
    // Someone disabled the window (a modal dialog's doing): enable it again once that is over.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        QTimer::singleShot(0, this, [this] { setEnabled(true); });
    QWidget::changeEvent(event);
}

void TDebugWindow::showEvent(QShowEvent* event) {
    core_.setVisible(true);
    refresh();
    QWidget::showEvent(event);
}

void TDebugWindow::hideEvent(QHideEvent* event) {
    core_.setVisible(false);
    QWidget::hideEvent(event);
}

void TDebugWindow::showAlmanacs(const std::string& gps, const std::string& glonass) {
    gpsAlmanac_->setText(QString::fromStdString(gps));
    gloAlmanac_->setText(QString::fromStdString(glonass));
}

void TDebugWindow::followMonitor(TMainWindow& main) {
    main.setRenderListener([this](const TMonitorView& view) {
        showAlmanacs(view.text("GALabel"), view.text("NALabel"));
    });
}
