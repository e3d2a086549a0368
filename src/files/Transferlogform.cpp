// The file manager form's side of the "Current log file" page: the shared list, ButtonOK as
// "St&art", and what the page borrows from the form.
#include "files/Transferform.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

using namespace telvor;

TLogSheet::THost TFileDownloadForm::logSheetHost() {
    TLogSheet::THost host;
    host.setStatus = [this](const std::string& text) { setStatus(text); };
    host.setFree = [this](const std::string& text) { setFree(text); };
    host.shown = [this] { return pages_->currentWidget() == logSheet_; };
    host.askYesNo = [this](const std::string& title, const std::string& text) {
        return askYesNo(title, text);
    };
    host.showRows = [this] { showRows(); };
    host.enableDelete = [this](bool on) { delete_->setEnabled(on); };
    return host;
}

void TFileDownloadForm::hookLogSheet() {
    TRecordingControl& control = logSheet_->control();
    control.title = windowTitle().toStdString();
    control.StartButton.onState = [this] {
        if (pages_->currentWidget() == logSheet_)
            ok_->setEnabled(logSheet_->control().StartButton.enabled());
    };
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        if (pages_->currentWidget() == logSheet_)
            logSheet_->control().chooseFile(item->text(1).toStdString());
    });
}

void TFileDownloadForm::logStartClick() {
    logSheet_->control().start();
    ok_->setEnabled(logSheet_->control().StartButton.enabled());
}

void TFileDownloadForm::logPageChanged() {
    if (pages_->currentWidget() != pages_->widget(2)) {
        for (TFileEntry& e : logic_.entries())
            e.state = -1;
        showRows();
    }
    if (pages_->currentWidget() == logSheet_) {
        logSheet_->listSlot()->addWidget(list_, 0, 0);
        ok_->setText("St&art");
        logSheet_->control().enter();
        ok_->setEnabled(logSheet_->control().StartButton.enabled());
        return;
    }
    logSheet_->stopTimer();
    QWidget* download = pages_->widget(0);
    if (list_->parentWidget() != download)
        static_cast<QGridLayout*>(download->layout())->addWidget(list_, 0, 0, 1, 4);
    // The folder page shows the download page's button.
    ok_->setText("&Download");
    ok_->setEnabled(delete_->isEnabled());
}

void TFileDownloadForm::stopLogTimer() {
    logSheet_->stopTimer();
}

void TFileDownloadForm::startLogTimer() {
    logSheet_->resumeTimer();
}

bool TFileDownloadForm::logPageShown() const {
    return pages_->currentWidget() == logSheet_;
}

void TFileDownloadForm::refreshLogPage() {
    logSheet_->control().refresh();
}
