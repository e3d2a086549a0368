// "Via 378h": the terminal's direct parallel port against a simulated ECP port with
// telvor-sim behind it, and where the box is offered at all.
#include "links/Parallelport.h"
#include "manual/Manualmode.h"
#include "protocol/Commstate.h"
#include "settings/Profile.h"
#include "support/Ecpbus.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

using namespace telvor;

namespace {

class TPaneView : public TManualView {
public:
    void setStatus(const std::string& text) override { status = text; }
    void paneChanged(int, const std::string& appended) override { pane += appended; }
    void paneCleared() override { pane.clear(); }
    void setHistory(const std::vector<std::string>&) override {}
    void setCommandLine(const std::string&, bool) override {}
    void setScriptPath(const std::string&) override {}
    void enablePanel(bool on) override { panelChanges.push_back(on); }
    void enableButton(TManualButton, bool) override {}
    void setCaption(TManualButton, const std::string&) override {}
    void setEditorUse(bool, const std::string&) override {}
    std::string editorText() override { return {}; }
    std::optional<std::string> chooseLogFile(const std::string&) override { return {}; }
    std::optional<std::string> chooseScript(const std::string&, bool) override { return {}; }
    TLogChoice askOverwrite(const std::string&) override { return TLogChoice::Cancel; }
    void errorBox(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    void closeWindow() override {}

    std::string status, pane;
    std::vector<bool> panelChanges;
};

class TNoSession : public TManualSession {
public:
    bool connected() override { return false; }
    bool firmwareRecognised() override { return true; }
    int speedDivisor() override { return 1; }
    void disconnect() override {}
    void quit() override {}
};

class ManualParallel : public ::testing::Test {
protected:
    ManualParallel() : profile_((dir_ / "telvor.ini").string()) {}
    ~ManualParallel() override {
        commState().SetTerminalSink(nullptr);
        SetInputMode(TInputMode::Idle);
    }
    std::unique_ptr<TManualMode> make() {
        auto m = std::make_unique<TManualMode>(profile_, view_, session_);
        m->open();
        return m;
    }

    telvor::testing::TTempDir dir_{"telvor-manual-lpt"};
    TProfile profile_;
    TPaneView view_;
    TNoSession session_;
};

TEST_F(ManualParallel, OfferedOnlyWithTheSettingAndAPortAt378h) {
    telvor::testing::TSimParallelBus bus;
    auto m = make();
    EXPECT_FALSE(m->lptAvailable());
    profile_.write(keys::DebugManualLPT, true);
    EXPECT_TRUE(m->lptAvailable());
    bus.listed = false;
    EXPECT_FALSE(m->lptAvailable());
}

TEST_F(ManualParallel, CommandsGoStraightToThePortAndTheAnswerFillsThePane) {
    telvor::testing::TSimParallelBus bus;
    profile_.write(keys::DebugManualLPT, true);
    auto m = make();
    ASSERT_TRUE(m->lptClick(true)) << view_.status;
    ASSERT_TRUE(m->lptOpen());
    m->sendClick("%%print,/par/rcv/model");
    EXPECT_NE(view_.pane.find("%%VORNA"), std::string::npos) << view_.pane;
    EXPECT_EQ(view_.status, std::to_string(view_.pane.size()) + " bytes received");
    EXPECT_EQ(view_.panelChanges, (std::vector<bool>{false, true}));
    EXPECT_NE(bus.port.forwarded().find("%%print,/par/rcv/model\n"), std::string::npos);

    // Unticked, the port is free for others again.
    EXPECT_FALSE(m->lptClick(false));
    TParallelPort other(std::uint16_t(0x378));
    EXPECT_EQ(other.ErrorText(), "");
}

TEST_F(ManualParallel, APortThatCannotOpenLeavesTheBoxUnticked) {
    telvor::testing::TSimParallelBus bus;
    profile_.write(keys::DebugManualLPT, true);
    TParallelPort busy("LPT1");
    auto m = make();
    EXPECT_FALSE(m->lptClick(true));
    EXPECT_FALSE(m->lptOpen());
    EXPECT_EQ(view_.status, "LPT: Port already in use");
}

} // namespace
