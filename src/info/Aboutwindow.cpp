// The About window's controls; what they do is TAboutLogic's.
#include "info/Aboutwindow.h"

#include "qtglue/Strings.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

using namespace telvor;

TAboutForm::TAboutForm(const TAboutContext& context, const TProfile& profile, TProgramInfo program,
                       QWidget* parent)
    : QDialog(parent), logic_(*this, context, profile, program) {
    setObjectName("AboutForm");
    setWindowTitle("About " + q(program.name));

    auto* name = new QLabel(q(program.name), this);
    name->setObjectName("ProgramNameLabel");
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    auto* version = new QLabel(q(logic_.versionLabel()), this);
    version->setObjectName("VerAndBuildLabel");

    panel_ = new QWidget(this);
    panel_->setObjectName("ReceiverPanel");
    memo_ = new QPlainTextEdit(panel_);
    memo_->setObjectName("ReceiverMemo");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Every label fits in 24 columns, so one tab stop puts all values in one column.
    memo_->setTabStopDistance(memo_->fontMetrics().horizontalAdvance(' ') * 24);
    // Wide enough for the 78-character rules.
    memo_->setMinimumSize(memo_->fontMetrics().horizontalAdvance(QString(80, '-')) + 24, 360);
    status_ = new QLabel(panel_);
    status_->setObjectName("StatusLabel");
    refresh_ = new QPushButton("Refresh", panel_);
    refresh_->setObjectName("RefreshButton");
    save_ = new QPushButton("Save to file", panel_);
    save_->setObjectName("SaveButton");
    report_ = new QPushButton("Report", panel_);
    report_->setObjectName("ReportButton");
    connect(refresh_, &QPushButton::clicked, this, [this] { logic_.refresh(); });
    connect(save_, &QPushButton::clicked, this, [this] { logic_.saveToFile(); });
    connect(report_, &QPushButton::clicked, this, [this] { logic_.report(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh_);
    buttons->addWidget(save_);
    buttons->addWidget(report_);
    buttons->addStretch(1);
    auto* panelLayout = new QVBoxLayout(panel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(memo_, 1);
    panelLayout->addWidget(status_);
    panelLayout->addLayout(buttons);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(panel_, 1);
    layout->addLayout(okRow);
    panel_->hide();
}

TAboutForm::~TAboutForm() {
    closeNotice();
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // After the window has painted, so that it is seen while the values come in.
    QTimer::singleShot(0, this, [this] { logic_.start(); });
}

void TAboutForm::showReceiverPanel(bool visible) {
    panel_->setVisible(visible);
    adjustSize();
}

void TAboutForm::setMemo(const std::vector<std::string>& lines) {
    // The doubled tabs line short labels up on narrower stops; one stop needs one tab.
    static const QRegularExpression kTabs("\t+");
    QStringList text;
    for (const auto& l : lines)
        text << q(l).replace(kTabs, "\t");
    memo_->setPlainText(text.join('\n'));
}

void TAboutForm::setStatus(const std::string& text) {
    status_->setText(q(text));
}

void TAboutForm::showNotice(const std::string& text) {
    closeNotice();
    notice_ = new QDialog(this, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    notice_->setObjectName("NoticeWindow");
    auto* label = new QLabel(q(text), notice_);
    auto* layout = new QVBoxLayout(notice_);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->addWidget(label);
    notice_->setModal(false);
    notice_->show();
    refresh_->setEnabled(false);
    save_->setEnabled(false);
    report_->setEnabled(false);
    QApplication::processEvents();
}

void TAboutForm::closeNotice() {
    if (notice_) {
        notice_->hide();
        notice_->deleteLater();
        notice_ = nullptr;
    }
    refresh_->setEnabled(true);
    save_->setEnabled(true);
    report_->setEnabled(true);
}

std::string TAboutForm::askSaveFile(const std::string& folder, const std::string& proposed) {
    if (saveDialog_)
        return saveDialog_(folder, proposed);
    QString start = q(folder);
    if (!proposed.empty())
        start += "/" + q(proposed);
    return QFileDialog::getSaveFileName(this, "Save As", start, "Text files (*.txt);;All files (*)")
        .toStdString();
}
