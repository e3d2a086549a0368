// The file-system initialisation window's controls; what they do is TFsInit's.
#include "files/Formatform.h"

#include "info/Reportfile.h"
#include "qtglue/Strings.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace telvor;

TFormatForm::TFormatForm(std::string program, std::string versionLabel, QWidget* parent)
    : QDialog(parent), logic_(*this), program_(std::move(program)),
      versionLabel_(std::move(versionLabel)) {
    setObjectName("FormatForm");
    setWindowTitle("Initializing Receiver File System");

    warning_ = new QLabel(kFsInitWarning, this);
    warning_->setObjectName("WarningLabel");
    warning_->setWordWrap(true);
    waitLabel_ = new QLabel("Please, wait!", this);
    waitLabel_->setObjectName("WaitLabel");
    waitLabel_->hide();
    statusLabel_ = new QLabel("??? of ???", this);
    statusLabel_->setObjectName("StatusLabel");
    statusLabel_->hide();
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar1");
    progress_->setTextVisible(false);
    progress_->hide();
    start_ = new QPushButton("Start", this);
    start_->setObjectName("StartButton");
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("CancelButton");
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("OKButton");
    ok_->hide();
    connect(start_, &QPushButton::clicked, this, [this] { startClicked(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, [this] { okClicked(); });

    reportPanel_ = new QWidget(this);
    reportPanel_->setObjectName("FormatInfoPanel");
    memo_ = new QPlainTextEdit(reportPanel_);
    memo_->setObjectName("FormatMemo");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo_->setTabStopDistance(memo_->fontMetrics().horizontalAdvance(' ') * 8);
    memo_->setMinimumSize(memo_->fontMetrics().horizontalAdvance(QString(56, '-')) + 24, 240);
    auto* refresh = new QPushButton("Refresh", reportPanel_);
    refresh->setObjectName("RefreshButtonFormat");
    auto* save = new QPushButton("Save to file", reportPanel_);
    save->setObjectName("SaveButtonFormat");
    auto* okReport = new QPushButton("OK", reportPanel_);
    okReport->setObjectName("OKButtonFormat");
    connect(refresh, &QPushButton::clicked, this, [this] { logic_.refresh(); });
    connect(save, &QPushButton::clicked, this, [this] { saveClicked(); });
    connect(okReport, &QPushButton::clicked, this, &QDialog::accept);
    auto* reportButtons = new QHBoxLayout;
    reportButtons->addWidget(refresh);
    reportButtons->addWidget(save);
    reportButtons->addStretch(1);
    reportButtons->addWidget(okReport);
    auto* panelLayout = new QVBoxLayout(reportPanel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(memo_, 1);
    panelLayout->addLayout(reportButtons);
    reportPanel_->hide();

    statusBar_ = new QLabel(this);
    statusBar_->setObjectName("StatusBarFormat");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(warning_);
    layout->addWidget(waitLabel_);
    layout->addWidget(progress_);
    layout->addWidget(statusLabel_);
    layout->addLayout(buttons);
    layout->addWidget(reportPanel_, 1);
    layout->addWidget(statusBar_);
}

void TFormatForm::startClicked() {
    running_ = true;
    logic_.start();
    running_ = false;
}

void TFormatForm::okClicked() {
    if (running_ && !logic_.finished())
        logic_.okPressed();
    else
        accept();
}

void TFormatForm::saveClicked() {
    std::string path = saveDialog_ ? saveDialog_()
                                   : QFileDialog::getSaveFileName(
                                         this, "Save File System Information  to file",
                                         QDir::currentPath(), "Text files (*.txt);;All files (*.*)")
                                         .toStdString();
    if (!path.empty() && path.find('.', path.find_last_of('/') + 1) == std::string::npos)
        path += ".txt";
    logic_.save(path, headerLines(program_, versionLabel_, localNow()));
}

void TFormatForm::closeEvent(QCloseEvent* event) {
    if (!logic_.canClose())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TFormatForm::reject() {
    if (logic_.canClose())
        QDialog::reject();
}

void TFormatForm::showStartControls(bool visible) {
    warning_->setVisible(visible);
    start_->setVisible(visible);
    cancel_->setVisible(visible);
}

void TFormatForm::setWarning(const std::string& text) {
    warning_->setText(q(text));
    warning_->show();
}

void TFormatForm::setWaitText(const std::string& text) {
    waitLabel_->setText(q(text));
    waitLabel_->setVisible(!text.empty());
}

void TFormatForm::showOk(bool visible, const std::string& caption, bool enabled) {
    ok_->setText(q(caption));
    ok_->setVisible(visible);
    ok_->setEnabled(enabled);
}

void TFormatForm::setProgress(int total, int position) {
    progress_->show();
    statusLabel_->show();
    if (total < 0) {
        statusLabel_->setText("??? of ???");
        return;
    }
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(std::clamp(position, 0, std::max(total, 1)));
    statusLabel_->setText(QString::number(position) + " of " + QString::number(total));
}

void TFormatForm::fillProgress() {
    progress_->setValue(progress_->maximum());
}

void TFormatForm::showReportArea() {
    start_->hide();
    cancel_->hide();
    ok_->hide();
    reportPanel_->show();
    adjustSize();
    if (auto* p = parentWidget())
        move(p->geometry().center() - rect().center());
}

void TFormatForm::setReport(const std::vector<std::string>& lines) {
    QStringList all;
    for (const auto& line : lines)
        all << q(line);
    memo_->setPlainText(all.join('\n'));
}

void TFormatForm::setStatus(const std::string& text) {
    statusBar_->setText(q(text));
}

void TFormatForm::wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
