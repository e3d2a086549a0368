#pragma once
// "Initializing Receiver File System": the warning, the progress while the receiver works, then
// the report on its file system. The rules are TFsInit's.
#include "files/Fsinit.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QWidget;

class TFormatForm : public QDialog, private telvor::TFsInitView {
    Q_OBJECT
public:
    // `versionLabel` heads the saved report ("Version ... (Build: ...)").
    TFormatForm(std::string program, std::string versionLabel, QWidget* parent = nullptr);

    telvor::TFsInit& logic() { return logic_; }
    // Replaces the save dialog (tests): the chosen path, empty when cancelled.
    void setSaveDialog(std::function<std::string()> dialog) { saveDialog_ = std::move(dialog); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showStartControls(bool visible) override;
    void setWarning(const std::string& text) override;
    void setWaitText(const std::string& text) override;
    void showOk(bool visible, const std::string& caption, bool enabled) override;
    void setProgress(int total, int position) override;
    void fillProgress() override;
    void showReportArea() override;
    void setReport(const std::vector<std::string>& lines) override;
    void setStatus(const std::string& text) override;
    void wait(int ms) override;

    void startClicked();
    void okClicked();
    void saveClicked();

    telvor::TFsInit logic_;
    std::string program_, versionLabel_;
    QLabel* warning_;
    QLabel* waitLabel_;
    QLabel* statusLabel_;
    QProgressBar* progress_;
    QPushButton* start_;
    QPushButton* cancel_;
    QPushButton* ok_;
    QWidget* reportPanel_;
    QPlainTextEdit* memo_;
    QLabel* statusBar_;
    std::function<std::string()> saveDialog_;
    bool running_ = false;
};
