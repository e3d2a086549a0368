#pragma once
// The manual-mode terminal's rules (the window TManualModeForm only shows them): the command
// line and its history, the reply pane, logging of received bytes, the stop and clear
// commands, the script interpreter and the script editor, the closing sequence, the settings.
#include "manual/Replypane.h"
#include "manual/Scriptrunner.h"
#include "protocol/Commstate.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

class TParallelPort;

class TProfile;

enum class TManualButton { Send, Exit, Stop, Clear, Disconnect, Log, RunScript, EditScript };
enum class TLogChoice { Overwrite, Append, Cancel };

// What the window shows and asks.
class TManualView {
public:
    virtual ~TManualView() = default;
    virtual void setStatus(const std::string& text) = 0;
    // The pane: text appended at its end, then `dropped` lines removed from its top.
    virtual void paneChanged(int dropped, const std::string& appended) = 0;
    virtual void paneCleared() = 0;
    virtual void setHistory(const std::vector<std::string>& entries) = 0;
    // The command line gets the focus; the text selected, or the caret at its end.
    virtual void setCommandLine(const std::string& text, bool selected) = 0;
    virtual void setScriptPath(const std::string& folder) = 0;
    virtual void enablePanel(bool on) = 0;
    virtual void enableButton(TManualButton button, bool on) = 0;
    virtual void setCaption(TManualButton button, const std::string& caption) = 0;
    // Editor use: command line hidden, pane editable with `text`; terminal use: the opposite,
    // the pane read-only with `text` (the transcript, as the pane shows it).
    virtual void setEditorUse(bool editor, const std::string& text) = 0;
    virtual std::string editorText() = 0;
    virtual std::optional<std::string> chooseLogFile(const std::string& folder) = 0;
    // `mayCreate`: a new name is allowed (the editor), else the file must exist.
    virtual std::optional<std::string> chooseScript(const std::string& folder, bool mayCreate) = 0;
    virtual TLogChoice askOverwrite(const std::string& path) = 0;
    virtual void errorBox(const std::string& title, const std::string& text) = 0;
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    virtual void closeWindow() = 0;
};

// The session the terminal works in (the main window's).
class TManualSession {
public:
    virtual ~TManualSession() = default;
    virtual bool connected() = 0;
    // False in "Manual mode only", where no firmware was asked for.
    virtual bool firmwareRecognised() = 0;
    virtual int speedDivisor() = 0;
    virtual void disconnect() = 0;
    virtual void quit() = 0;
};

class TManualMode : public TTerminalSink {
public:
    TManualMode(TProfile& profile, TManualView& view, TManualSession& session);
    ~TManualMode() override;

    // Input mode terminal, received data to the pane; the command line prefilled ("/run").
    void open(const std::string& prefill = {});

    void sendClick(const std::string& commandLine);
    void stopClick();
    void clearClick();
    void disconnectClick();
    void logClick();
    void runScriptClick();
    void editScriptClick();
    void exitClick();
    void editorChanged();
    // "Via 378h": shown with Debug/ManualLPT where this process may drive the port at 0x378.
    bool lptAvailable() const;
    // Ticked: opens the direct port; returns whether it is open (a failure is in the status).
    bool lptClick(bool on);
    bool lptOpen() const { return lpt_ != nullptr; }
    // The window is asked to close: false keeps it open (a script still unwinding, an editor
    // whose changes the user keeps). True after the closing sequence has run.
    bool closeRequested();
    // The window goes: settings written.
    void destroyed();

    // The pane writer.
    void AppendToPane(const std::uint8_t* data, std::size_t count, bool received);
    void OnTerminalData(const std::uint8_t* data, std::size_t count) override;
    void ShowStatus(const std::string& text);

    // History, most recent first.
    const std::vector<std::string>& history() const { return history_; }
    const TReplyPane& pane() const { return pane_; }
    bool logging() const { return log_ != nullptr; }
    bool editing() const { return editing_; }
    const std::string& scriptFolder() const { return scriptFolder_; }
    const std::string& status() const { return status_; }
    TScriptInterpreter& interpreter() { return interpreter_; }

private:
    class THost;
    void addToHistory(const std::string& line);
    void closeLog();
    void chooseScriptFolder(const std::string& path);
    void closeEditor();
    bool closingSequence();
    void sendDirect(const std::string& line);

    TProfile& profile_;
    TManualView& view_;
    TManualSession& session_;
    std::unique_ptr<THost> host_;
    TScriptInterpreter interpreter_;
    TReplyPane pane_;
    std::vector<std::string> history_;
    int historyLimit_ = 20;
    std::FILE* log_ = nullptr;
    std::string logFolder_;
    std::string scriptFolder_;
    std::string status_;
    std::string editorFile_;
    bool editing_ = false;
    bool modified_ = false;
    bool closeAfterRun_ = false;
    bool closed_ = false;
    std::unique_ptr<TParallelPort> lpt_;
    bool lptStop_ = false;
};

} // namespace telvor
