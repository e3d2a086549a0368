// The terminal's rules with a recording view: history, the pane and its log, the editor,
// closing and the settings.
#include "manual/Manualmode.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "settings/Profile.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace telvor;
using telvor::testing::TTempDir;

namespace {

class TRecordingView : public TManualView {
public:
    void setStatus(const std::string& text) override { status = text; }
    void paneChanged(int dropped, const std::string& appended) override {
        pane += appended;
        for (int i = 0; i < dropped; ++i)
            pane.erase(0, pane.find('\n') + 1);
    }
    void paneCleared() override { pane.clear(); }
    void setHistory(const std::vector<std::string>& entries) override { history = entries; }
    void setCommandLine(const std::string& text, bool selected) override {
        commandLine = text;
        commandSelected = selected;
    }
    void setScriptPath(const std::string& folder) override { path = folder; }
    void enablePanel(bool on) override {
        for (int b = 0; b <= int(TManualButton::EditScript); ++b)
            enabled[TManualButton(b)] = on;
    }
    void enableButton(TManualButton button, bool on) override { enabled[button] = on; }
    void setCaption(TManualButton button, const std::string& caption) override {
        captions[button] = caption;
    }
    void setEditorUse(bool on, const std::string& text) override {
        editor = on;
        editorContents = text;
    }
    std::string editorText() override { return editorContents; }
    std::optional<std::string> chooseLogFile(const std::string&) override { return logFile; }
    std::optional<std::string> chooseScript(const std::string&, bool mayCreate) override {
        lastMayCreate = mayCreate;
        return scriptFile;
    }
    TLogChoice askOverwrite(const std::string& p) override {
        asked.push_back(p);
        return logChoice;
    }
    void errorBox(const std::string& title, const std::string& text) override {
        errors.push_back(title + ": " + text);
    }
    bool askYesNo(const std::string&, const std::string& text) override {
        asked.push_back(text);
        return yes;
    }
    void closeWindow() override { ++closes; }

    std::string status, pane, commandLine, path, editorContents;
    bool commandSelected = false, editor = false, lastMayCreate = false, yes = false;
    std::vector<std::string> history, asked, errors;
    std::map<TManualButton, bool> enabled;
    std::map<TManualButton, std::string> captions;
    std::optional<std::string> logFile, scriptFile;
    TLogChoice logChoice = TLogChoice::Append;
    int closes = 0;
};

class TNoSession : public TManualSession {
public:
    bool connected() override { return false; }
    bool firmwareRecognised() override { return recognised; }
    int speedDivisor() override { return 1; }
    void disconnect() override { ++disconnects; }
    void quit() override {}
    bool recognised = true;
    int disconnects = 0;
};

class ManualMode : public ::testing::Test {
protected:
    ManualMode() : profile_((dir_ / "telvor.ini").string()) {
        profile_.write(keys::ManualModeDirectory, dir_.path.string());
        profile_.write(keys::ManualModePathLogFile, dir_.path.string());
    }
    ~ManualMode() override {
        commState().SetTerminalSink(nullptr);
        SetInputMode(TInputMode::Idle);
    }
    std::unique_ptr<TManualMode> make() {
        auto m = std::make_unique<TManualMode>(profile_, view_, session_);
        m->open();
        return m;
    }
    void received(TManualMode& m, const std::string& bytes) {
        m.OnTerminalData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

    TTempDir dir_{"telvor-manual"};
    TProfile profile_;
    TRecordingView view_;
    TNoSession session_;
};

using Lines = std::vector<std::string>;

TEST_F(ManualMode, HistoryKeepsOneEntryPerLineMostRecentFirstWithinItsLimit) {
    profile_.write(keys::ManualModeCommands, 3);
    auto m = make();
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Terminal);
    m->sendClick("  print,/par/rcv/model ");
    m->sendClick("print,/par/rcv/model");
    EXPECT_EQ(m->history(), (Lines{"print,/par/rcv/model"}));
    EXPECT_EQ(view_.commandLine, "print,/par/rcv/model");
    EXPECT_TRUE(view_.commandSelected);
    // No link here: the send fails visibly.
    EXPECT_EQ(view_.status, "Can't send command");
    for (const char* line : {"a", "b", "print,/par/rcv/model", "c"})
        m->sendClick(line);
    EXPECT_EQ(m->history(), (Lines{"c", "print,/par/rcv/model", "b"}));
    EXPECT_EQ(view_.history, m->history());

    // Blanks only: nothing sent, nothing remembered.
    m->sendClick("   \t ");
    EXPECT_EQ(m->history().size(), 3u);
    EXPECT_EQ(view_.status, " ");

    m->destroyed();
    m.reset();
    auto again = make();
    EXPECT_EQ(again->history(), (Lines{"c", "print,/par/rcv/model", "b"}));
}

TEST_F(ManualMode, LineLimitIsClamped) {
    profile_.write(keys::ManualModeReplies, 5);
    EXPECT_EQ(make()->pane().limit(), 12);
    profile_.write(keys::ManualModeReplies, 500);
    EXPECT_EQ(make()->pane().limit(), 200);
    profile_.write(keys::ManualModeReplies, 12);
    auto m = make();
    for (int i = 0; i < 30; ++i)
        received(*m, "line " + std::to_string(i) + "\r\n");
    received(*m, "open");
    EXPECT_EQ(m->pane().lineCount(), 12);
    EXPECT_EQ(m->pane().text().substr(0, 8), "line 19\n");
    EXPECT_EQ(view_.pane, m->pane().text());
    m->destroyed();
    EXPECT_EQ(profile_.read(keys::ManualModeReplies), 12);
}

TEST_F(ManualMode, ControlBytesShowAsDotsButAreLoggedAsReceived) {
    auto m = make();
    { std::ofstream(dir_ / "log.txt", std::ios::binary) << "old|"; }
    view_.logFile = (dir_ / "log.txt").string();
    view_.logChoice = TLogChoice::Append;
    m->logClick();
    ASSERT_TRUE(m->logging());
    EXPECT_EQ(view_.captions[TManualButton::Log], "Stop logging");
    EXPECT_EQ(view_.asked.size(), 1u);
    received(*m, std::string("RE\x07\x00\x1b|\r", 7));
    received(*m, "\nnext");
    // Echo lines of scripts go to the pane only.
    std::ofstream(dir_ / "e.vxc") << "@echo hi\n";
    m->sendClick("@e");
    m->logClick();
    EXPECT_FALSE(m->logging());
    EXPECT_EQ(view_.captions[TManualButton::Log], "Start logging");
    EXPECT_EQ(dir_.read("log.txt"), std::string("old|RE\x07\x00\x1b|\r\nnext", 16));
    EXPECT_EQ(m->pane().text(), "RE...|\nnext>@echo hi\n>hi\n");

    view_.logChoice = TLogChoice::Overwrite;
    m->logClick();
    received(*m, "fresh");
    m->logClick();
    EXPECT_EQ(dir_.read("log.txt"), "fresh");

    view_.logChoice = TLogChoice::Cancel;
    m->logClick();
    EXPECT_FALSE(m->logging());

    view_.logFile = (dir_ / "no/such/folder/x.log").string();
    m->logClick();
    EXPECT_FALSE(m->logging());
    EXPECT_EQ(view_.status, "Unable to create file");
    EXPECT_EQ(profile_.read(keys::ManualModePathLogFile), dir_.path.string());
}

TEST_F(ManualMode, LoadScriptNamesTheFileAndItsFolder) {
    auto m = make();
    std::filesystem::create_directory(dir_ / "sub");
    std::ofstream(dir_ / "sub" / "my script.vxc") << "@echo from sub\n";
    view_.scriptFile = (dir_ / "sub" / "my script.vxc").string();
    m->runScriptClick();
    EXPECT_FALSE(view_.lastMayCreate);
    EXPECT_EQ(view_.commandLine, "@\"my script.vxc\"");
    EXPECT_FALSE(view_.commandSelected);
    EXPECT_EQ(profile_.read(keys::ManualModeDirectory), (dir_ / "sub").string());
    EXPECT_EQ(view_.path, (dir_ / "sub").string());
    m->sendClick(view_.commandLine);
    EXPECT_NE(m->pane().text().find(">from sub\n"), std::string::npos);
    EXPECT_EQ(view_.captions[TManualButton::RunScript], "Load script");
    EXPECT_TRUE(view_.enabled[TManualButton::Send]);
}

// With no folder chosen yet, scripts and logs start in the visible data folder, not in the
// settings folder; "Path:" shows it.
TEST_F(ManualMode, FoldersDefaultToTheDataFolder) {
    namespace fs = std::filesystem;
    const fs::path documents = dir_ / "documents";
    const char* before = std::getenv("XDG_DOCUMENTS_DIR");
    const std::string saved = before ? before : "";
    ::setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
    profile_.write(keys::ManualModeDirectory, "");
    profile_.write(keys::ManualModePathLogFile, "");
    auto m = make();
    EXPECT_EQ(m->scriptFolder(), (documents / "Telvor").string());
    EXPECT_EQ(view_.path, (documents / "Telvor").string());
    EXPECT_TRUE(fs::is_directory(documents / "Telvor"));
    if (before)
        ::setenv("XDG_DOCUMENTS_DIR", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DOCUMENTS_DIR");
}

TEST_F(ManualMode, EditorSavesAndAsksBeforeDiscarding) {
    auto m = make();
    received(*m, "terminal text");
    view_.scriptFile = (dir_ / "new.vxc").string();
    m->editScriptClick();
    ASSERT_TRUE(m->editing());
    EXPECT_TRUE(view_.lastMayCreate);
    EXPECT_TRUE(view_.editor);
    EXPECT_EQ(view_.editorContents, "");
    EXPECT_EQ(view_.captions[TManualButton::EditScript], "Save script");
    EXPECT_EQ(view_.captions[TManualButton::Exit], "Close editor");
    EXPECT_FALSE(view_.enabled[TManualButton::EditScript]);
    EXPECT_FALSE(view_.enabled[TManualButton::Send]);
    EXPECT_TRUE(view_.enabled[TManualButton::Exit]);
    // Received data do not reach an editor.
    received(*m, "ignored");

    view_.editorContents = "@echo one\n";
    m->editorChanged();
    EXPECT_TRUE(view_.enabled[TManualButton::EditScript]);
    m->editScriptClick();
    EXPECT_EQ(dir_.read("new.vxc"), "@echo one\n");
    EXPECT_FALSE(view_.enabled[TManualButton::EditScript]);

    view_.editorContents = "@echo two\n";
    m->editorChanged();
    view_.yes = false;
    m->exitClick();
    EXPECT_TRUE(m->editing());
    view_.yes = true;
    m->exitClick();
    EXPECT_FALSE(m->editing());
    EXPECT_EQ(dir_.read("new.vxc"), "@echo one\n");
    // The transcript the editor covered is shown again.
    EXPECT_FALSE(view_.editor);
    EXPECT_EQ(view_.editorContents, "terminal text");
    EXPECT_EQ(view_.pane, "terminal text");
    EXPECT_EQ(m->pane().text(), "terminal text");
    EXPECT_EQ(view_.captions[TManualButton::EditScript], "Edit script");
    EXPECT_EQ(view_.captions[TManualButton::Exit], "Exit");
    EXPECT_EQ(view_.closes, 0);

    // Lines longer than 1023 characters come in pieces, as the interpreter reads them.
    std::ofstream(dir_ / "long.vxc") << std::string(1030, 'y') << "\r\nz";
    view_.scriptFile = (dir_ / "long.vxc").string();
    m->editScriptClick();
    EXPECT_EQ(view_.editorContents, std::string(1023, 'y') + "\n" + "yyyyyyy\nz\n");
    view_.editorContents = "x";
    m->editorChanged();
    std::filesystem::remove_all(dir_ / "long.vxc");
    std::filesystem::create_directory(dir_ / "long.vxc"); // cannot be written now
    m->editScriptClick();
    EXPECT_EQ(view_.errors, (Lines{"Script editor: Unable to save file!"}));
}

TEST_F(ManualMode, ExitAndCloseWithoutAReceiver) {
    auto m = make();
    session_.recognised = false; // "Manual mode only"
    m->exitClick();
    EXPECT_EQ(session_.disconnects, 1);
    EXPECT_EQ(view_.closes, 1);
    EXPECT_TRUE(m->closeRequested());
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Idle);
    EXPECT_EQ(commState().Terminal(), nullptr);
    // Closed windows take no more commands.
    m->sendClick("dm");
    EXPECT_TRUE(m->history().empty());
}

TEST_F(ManualMode, ACloseDuringAScriptWaitsForItToUnwind) {
    TPlainBridge bridge; // this thread is its UI thread
    setUiBridge(&bridge);
    auto m = make();
    std::ofstream(dir_ / "slow.vxc") << "@sleep 300\n@echo late\n";
    bool closedAtOnce = true;
    // The close arrives while the script sleeps (events run inside its waits).
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bridge.runSync([&] { closedAtOnce = m->closeRequested(); });
    });
    m->sendClick("@slow");
    closer.join();
    setUiBridge(nullptr);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(view_.closes, 1);
    EXPECT_EQ(m->interpreter().finalStatus(), "Interrupted");
    EXPECT_EQ(m->pane().text().find(">late"), std::string::npos);
    EXPECT_TRUE(m->closeRequested());
}

} // namespace
