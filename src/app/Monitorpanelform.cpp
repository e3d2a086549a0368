#include "app/Monitorpanelform.h"

#include "monitor/Monitorstate.h"
#include "monitor/Satlistform.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

TMonitorPanel::TMonitorPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("MonitorPanel");
    const telvor::TMonitorView initial;
    gps_ = telvor::makeSatList("GPSList", initial.gps().columns, this);
    glo_ = telvor::makeSatList("GLOList", initial.glonass().columns, this);
    connect(gps_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (onColumn_)
            onColumn_(false, column);
    });
    connect(glo_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (onColumn_)
            onColumn_(true, column);
    });
    auto* gpsCount = new QLabel(QString::fromStdString(initial.text("GPSCountLabel")), this);
    gpsCount->setObjectName("GPSCountLabel");
    auto* gloCount = new QLabel(QString::fromStdString(initial.text("GLOCountLabel")), this);
    gloCount->setObjectName("GLOCountLabel");

    auto* tables = new QGridLayout;
    tables->addWidget(gpsCount, 0, 0);
    tables->addWidget(gps_, 1, 0);
    tables->addWidget(gloCount, 0, 1);
    tables->addWidget(glo_, 1, 1);

    auto* pages = new QTabWidget(this);
    pages->setObjectName("PositionPages");
    for (const char* page : {"Geo", "XYZ", "Target"})
        pages->addTab(group(page), page);

    displayData_ = new QCheckBox("Display data", this);
    displayData_->setObjectName("MonitorServerCheckBox");
    displayData_->hide();

    auto* side = new QVBoxLayout;
    side->addWidget(group("Time"));
    side->addWidget(group("Events"));
    side->addWidget(displayData_);
    side->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pages, 1);
    bottom->addLayout(side);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tables, 1);
    layout->addLayout(bottom);
}

// The value labels of one group, each under its name and beside its caption, hidden until
// their first value.
QWidget* TMonitorPanel::group(const char* name) {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    int row = 0;
    for (const auto& c : telvor::monitorControls()) {
        if (std::strcmp(c.group, name) != 0)
            continue;
        auto* value = new QLabel(c.initial, box);
        value->setObjectName(c.name);
        value->setTextInteractionFlags(Qt::NoTextInteraction);
        value->installEventFilter(this);
        if (*c.caption) {
            auto* caption = new QLabel(c.caption, box);
            grid->addWidget(caption, row, 0);
            captions_[value] = caption;
        }
        grid->addWidget(value, row++, 1);
        showValue(value, false);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return box;
}

void TMonitorPanel::showValue(QLabel* value, bool visible) {
    value->setVisible(visible);
    auto it = captions_.find(value);
    if (it != captions_.end())
        it->second->setVisible(visible);
}

QLabel* TMonitorPanel::label(const char* name) const {
    return findChild<QLabel*>(name);
}

bool TMonitorPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && onDoubleClick_) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        onDoubleClick_(watched->objectName().toStdString(),
                       mouse->modifiers().testFlag(Qt::ShiftModifier));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TMonitorPanel::render(const telvor::TMonitorView& view) {
    for (const auto& [name, value] : view.labels()) {
        if (!telvor::isMonitorControl(name))
            continue;
        if (QLabel* l = findChild<QLabel*>(QString::fromStdString(name))) {
            l->setText(QString::fromStdString(value.text));
            showValue(l, value.visible);
        }
    }
    telvor::fillSatList(gps_, view.gps());
    telvor::fillSatList(glo_, view.glonass());
}

void TMonitorPanel::hideDateAndEvents() {
    for (const char* name : {"DateLabel", "EventALabel", "EventBLabel"})
        if (QLabel* l = label(name))
            showValue(l, false);
}
