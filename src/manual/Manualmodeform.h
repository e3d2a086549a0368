#pragma once
// The manual-mode window: a terminal on the receiver with a command history, the reply pane,
// logging, the script interpreter and a script editor. Its rules are TManualMode's.
#include "manual/Manualmode.h"

#include <QDialog>
#include <map>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QCheckBox;
class QStatusBar;

class TManualModeForm : public QDialog, public telvor::TManualView {
    Q_OBJECT
public:
    // `prefill`: the command line a "/run" start gives.
    TManualModeForm(telvor::TProfile& profile, telvor::TManualSession& session,
                    const std::string& prefill = {}, QWidget* parent = nullptr);
    ~TManualModeForm() override;

    telvor::TManualMode& logic() { return logic_; }

    // TManualView
    void setStatus(const std::string& text) override;
    void paneChanged(int dropped, const std::string& appended) override;
    void paneCleared() override;
    void setHistory(const std::vector<std::string>& entries) override;
    void setCommandLine(const std::string& text, bool selected) override;
    void setScriptPath(const std::string& folder) override;
    void enablePanel(bool on) override;
    void enableButton(telvor::TManualButton button, bool on) override;
    void setCaption(telvor::TManualButton button, const std::string& caption) override;
    void setEditorUse(bool editor, const std::string& text) override;
    std::string editorText() override;
    std::optional<std::string> chooseLogFile(const std::string& folder) override;
    std::optional<std::string> chooseScript(const std::string& folder, bool mayCreate) override;
    telvor::TLogChoice askOverwrite(const std::string& path) override;
    void errorBox(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    void closeWindow() override;

public slots:
    // Escape and the cancel button: Exit.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // The terminal takes the received data once it is shown, after monitoring was paused.
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* button(const char* name, const QString& caption, telvor::TManualButton id);

    telvor::TProfile& profile_;
    QComboBox* commandLine_;
    QPlainTextEdit* memo_;
    QStatusBar* status_;
    QLabel* path_;
    QCheckBox* lpt_;
    QWidget* panel_;
    std::map<telvor::TManualButton, QPushButton*> buttons_;
    telvor::TManualMode logic_;
    std::string prefill_;
    bool opened_ = false;
    bool finished_ = false;
};
