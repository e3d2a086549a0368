// The manual-mode terminal's rules and its script host.
#include "manual/Manualmode.h"

#include "links/Parallelport.h"
#include "manual/Linkhost.h"
#include "protocol/Bridge.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "settings/Profile.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace telvor {
namespace {

namespace fs = std::filesystem;

// The terminal's direct parallel port.
constexpr std::uint16_t kDirectPortBase = 0x378;

std::string currentFolder() {
    std::error_code ec;
    return fs::current_path(ec).string();
}

std::string historyKey(int index) {
    return std::string(keys::ManualModeCommandPrefix) + std::to_string(index);
}

} // namespace

class TManualMode::THost : public TLinkScriptHost {
public:
    explicit THost(TManualMode& m) : m_(m) {}
    int speedDivisor() override { return m_.session_.speedDivisor(); }
    void echo(const std::string& text) override {
        std::string line = ">" + text + "\n";
        m_.AppendToPane(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), false);
    }
    void clearPane() override { m_.clearClick(); }
    void setStatus(const std::string& text) override { m_.ShowStatus(text); }
    std::string status() override { return m_.status_; }
    // In the transcript, where it stays after the status line has moved on.
    void warn(const std::string& text) override { echo("Warning: " + text); }
    void runStarted() override {
        m_.view_.enablePanel(false);
        m_.view_.setCaption(TManualButton::RunScript, "Stop script");
        m_.view_.enableButton(TManualButton::RunScript, true);
    }
    void runEnded() override {
        m_.view_.setCaption(TManualButton::RunScript, "Load script");
        m_.view_.enablePanel(true);
    }
    void disconnect() override {
        m_.session_.disconnect();
        m_.closeAfterRun_ = true;
    }
    void quit() override { m_.session_.quit(); }

private:
    TManualMode& m_;
};

TManualMode::TManualMode(TProfile& profile, TManualView& view, TManualSession& session)
    : profile_(profile), view_(view), session_(session), host_(std::make_unique<THost>(*this)),
      interpreter_(*host_, &profile), pane_(profile.read(keys::ManualModeReplies)) {
    historyLimit_ = std::max(0, profile_.read(keys::ManualModeCommands));
    for (int i = 0; i < historyLimit_; ++i) {
        std::string entry =
            profile_.readString(keys::ManualModeCommands.section, historyKey(i), "");
        if (entry.empty())
            break;
        history_.push_back(entry);
    }
    // Not the settings folder: scripts and logs are the user's files.
    scriptFolder_ = dataFolder(profile_, keys::ManualModeDirectory);
    if (scriptFolder_.empty())
        scriptFolder_ = currentFolder();
    logFolder_ = dataFolder(profile_, keys::ManualModePathLogFile);
    if (logFolder_.empty())
        logFolder_ = currentFolder();
    interpreter_.setFolder(scriptFolder_);
}

TManualMode::~TManualMode() {
    if (commState().Terminal() == this)
        commState().SetTerminalSink(nullptr);
    closeLog();
}

void TManualMode::open(const std::string& prefill) {
    view_.setHistory(history_);
    view_.setScriptPath(scriptFolder_);
    view_.setCaption(TManualButton::Log, "Start logging");
    view_.setCaption(TManualButton::RunScript, "Load script");
    view_.setCaption(TManualButton::EditScript, "Edit script");
    view_.setCaption(TManualButton::Exit, "Exit");
    commState().SetTerminalSink(this);
    SetInputMode(TInputMode::Terminal);
    if (!prefill.empty())
        view_.setCommandLine(prefill, false);
}

void TManualMode::ShowStatus(const std::string& text) {
    status_ = text;
    view_.setStatus(text);
}

void TManualMode::OnTerminalData(const std::uint8_t* data, std::size_t count) {
    AppendToPane(data, count, true);
}

void TManualMode::AppendToPane(const std::uint8_t* data, std::size_t count, bool received) {
    if (editing_ || count == 0)
        return;
    if (received) {
        if (log_) {
            // Written and flushed at once; a failing disk ends logging instead of losing data
            // without a word.
            if (std::fwrite(data, 1, count, log_) != count || std::fflush(log_) != 0) {
                closeLog();
                ShowStatus("Unable to write log file");
            }
        }
        interpreter_.received(data, count);
    }
    TReplyPane::TChange change = pane_.append(data, count);
    view_.paneChanged(change.dropped, change.text);
}

void TManualMode::addToHistory(const std::string& line) {
    history_.erase(std::remove(history_.begin(), history_.end(), line), history_.end());
    history_.insert(history_.begin(), line);
    if (static_cast<int>(history_.size()) > historyLimit_)
        history_.resize(static_cast<std::size_t>(historyLimit_));
    view_.setHistory(history_);
}

void TManualMode::sendClick(const std::string& commandLine) {
    if (editing_ || interpreter_.running() || closed_)
        return;
    const std::string line = trimScriptLine(commandLine);
    ShowStatus(" ");
    if (line.empty())
        return;
    addToHistory(line);
    view_.setCommandLine(line, true);
    if (line[0] == '@') {
        interpreter_.setFolder(scriptFolder_);
        interpreter_.RunScript(std::string_view(line).substr(1), 0);
        if (closeAfterRun_)
            view_.closeWindow();
        return;
    }
    if (lpt_) {
        sendDirect(line);
        return;
    }
    if (!SendLine(line))
        ShowStatus("Can't send command");
}

void TManualMode::sendDirect(const std::string& line) {
    const std::string bytes = line + "\n";
    view_.enablePanel(false);
    const int written =
        lpt_->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), int(bytes.size()));
    if (written == int(bytes.size())) {
        long total = 0;
        lptStop_ = false;
        for (;;) {
            std::uint8_t piece[15];
            const int n = lpt_->ReadTimed(piece, sizeof piece, 100);
            if (n <= 0)
                break;
            total += n;
            AppendToPane(piece, std::size_t(n), true);
            uiBridge().processEvents();
            if (lptStop_ && lpt_) {
                lptStop_ = false;
                lpt_->Write(reinterpret_cast<const std::uint8_t*>("##"), 2);
            }
            if (!lpt_)
                break;
        }
        ShowStatus(std::to_string(total) + " bytes received");
    } else {
        ShowStatus("Only " + std::to_string(written) + " from " + std::to_string(bytes.size()) +
                   " sent");
    }
    view_.enablePanel(true);
}

bool TManualMode::lptAvailable() const {
    if (!profile_.read(keys::DebugManualLPT) || !parallelBus().rawAccess())
        return false;
    for (const auto& port : parallelBus().ports())
        if (port.base == kDirectPortBase)
            return true;
    return false;
}

bool TManualMode::lptClick(bool on) {
    lpt_.reset();
    if (!on)
        return false;
    lpt_ = std::make_unique<TParallelPort>(kDirectPortBase);
    if (std::string error = lpt_->ErrorText(); !error.empty()) {
        lpt_.reset();
        ShowStatus(error);
        return false;
    }
    return true;
}

void TManualMode::stopClick() {
    if (lpt_) {
        lptStop_ = true;
        return;
    }
    SendLine("##\n%Stop!%dm");
}

void TManualMode::clearClick() {
    pane_.clear();
    view_.paneCleared();
}

void TManualMode::disconnectClick() {
    session_.disconnect();
    view_.closeWindow();
}

void TManualMode::closeLog() {
    if (log_) {
        std::fclose(log_);
        log_ = nullptr;
    }
    view_.setCaption(TManualButton::Log, "Start logging");
}

void TManualMode::logClick() {
    if (log_) {
        closeLog();
        return;
    }
    std::optional<std::string> path = view_.chooseLogFile(logFolder_);
    if (!path || path->empty())
        return;
    std::error_code ec;
    if (fs::exists(*path, ec)) {
        TLogChoice choice = view_.askOverwrite(*path);
        if (choice == TLogChoice::Cancel)
            return;
        if (choice == TLogChoice::Overwrite)
            fs::remove(*path, ec);
    }
    log_ = std::fopen(path->c_str(), "ab");
    if (!log_) {
        ShowStatus("Unable to create file");
        return;
    }
    logFolder_ = fs::path(*path).parent_path().string();
    profile_.write(keys::ManualModePathLogFile, logFolder_);
    view_.setCaption(TManualButton::Log, "Stop logging");
}

// The folder of a chosen script becomes the script folder; the command line names the file.
void TManualMode::chooseScriptFolder(const std::string& path) {
    const fs::path p(path);
    scriptFolder_ = p.parent_path().string();
    interpreter_.setFolder(scriptFolder_);
    profile_.write(keys::ManualModeDirectory, scriptFolder_);
    view_.setScriptPath(scriptFolder_);
    view_.setCommandLine(runCommandLine({p.filename().string()}), false);
}

void TManualMode::runScriptClick() {
    if (interpreter_.running()) {
        interpreter_.requestStop();
        return;
    }
    if (editing_)
        return;
    if (std::optional<std::string> path = view_.chooseScript(scriptFolder_, false))
        chooseScriptFolder(*path);
}

void TManualMode::editScriptClick() {
    if (interpreter_.running())
        return;
    if (editing_) {
        if (!modified_)
            return;
        if (!writeFileAtomically(editorFile_, view_.editorText())) {
            view_.errorBox("Script editor", "Unable to save file!");
            return;
        }
        modified_ = false;
        view_.enableButton(TManualButton::EditScript, false);
        return;
    }
    std::optional<std::string> path = view_.chooseScript(scriptFolder_, true);
    if (!path || path->empty())
        return;
    chooseScriptFolder(*path);
    editorFile_ = *path;
    // Lines of at most 1023 characters, as the interpreter reads them.
    std::string text;
    if (std::FILE* f = std::fopen(path->c_str(), "rb")) {
        std::string piece;
        while (readScriptPiece(f, piece)) {
            while (!piece.empty() && (piece.back() == '\n' || piece.back() == '\r'))
                piece.pop_back();
            text += piece + "\n";
        }
        std::fclose(f);
    }
    editing_ = true;
    modified_ = false;
    view_.enablePanel(false);
    view_.enableButton(TManualButton::Exit, true);
    view_.setCaption(TManualButton::Exit, "Close editor");
    view_.setCaption(TManualButton::EditScript, "Save script");
    view_.enableButton(TManualButton::EditScript, false);
    view_.setEditorUse(true, text);
    ShowStatus(*path);
}

void TManualMode::editorChanged() {
    if (!editing_)
        return;
    modified_ = true;
    view_.enableButton(TManualButton::EditScript, true);
}

// The transcript the editor covered comes back: it is the user's record of the session.
void TManualMode::closeEditor() {
    editing_ = false;
    modified_ = false;
    view_.setEditorUse(false, pane_.text());
    ShowStatus("");
    view_.setCaption(TManualButton::EditScript, "Edit script");
    view_.setCaption(TManualButton::Exit, "Exit");
    view_.enablePanel(true);
}

void TManualMode::exitClick() {
    if (editing_) {
        if (modified_ && !view_.askYesNo("Script editor", "Close the editor and discard changes?"))
            return;
        closeEditor();
        return;
    }
    if (interpreter_.running())
        return;
    if (!session_.firmwareRecognised())
        session_.disconnect();
    view_.closeWindow();
}

bool TManualMode::closeRequested() {
    if (closed_)
        return true;
    if (interpreter_.running()) {
        // The script's frames are still on the stack: it unwinds first, then the window goes.
        interpreter_.requestStop();
        closeAfterRun_ = true;
        return false;
    }
    if (editing_) {
        if (modified_ && !view_.askYesNo("Script editor", "Close the editor and discard changes?"))
            return false;
        closeEditor();
    }
    return closingSequence();
}

bool TManualMode::closingSequence() {
    const bool connected = session_.connected();
    // No data for a window that is going away: delivery stops before the closing commands.
    commState().SetTerminalSink(nullptr);
    if (connected) {
        view_.enablePanel(false);
        for (int i = 0; i < 20; ++i) {
            uiBridge().processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    SetInputMode(TInputMode::Idle);
    if (connected)
        SendAndWait("####\ndm\n%%", 2000);
    closeLog();
    if (!session_.firmwareRecognised() && session_.connected())
        session_.disconnect();
    closed_ = true;
    return true;
}

void TManualMode::destroyed() {
    lpt_.reset();
    for (std::size_t i = 0; i < history_.size(); ++i)
        profile_.writeString(keys::ManualModeCommands.section, historyKey(int(i)), history_[i]);
    profile_.write(keys::ManualModeCommands, historyLimit_);
    profile_.write(keys::ManualModeReplies, pane_.limit());
}

} // namespace telvor
