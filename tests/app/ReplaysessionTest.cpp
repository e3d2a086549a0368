// The session on a recording and the replay bar's rules, headless: what opens, what refuses
// for want of a receiver, the bar's controls on a real replay link and the end of the file.
#include "support/Fakeview.h"
#include "support/Messagemaker.h"
#include "support/Tempdir.h"

#include "app/Replaycontrol.h"
#include "app/Session.h"
#include "links/Portio.h"
#include "links/Replayconnection.h"
#include "protocol/Bridge.h"
#include "settings/Profile.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace telvor;
using telvor::test::TFakeView;
using namespace telvor::testing;

namespace {

std::string epochs(int count) {
    std::string bytes;
    for (int i = 1; i <= count; ++i)
        bytes += makeMessage("~~", TPack().put(std::uint32_t(3600000 + 1000 * i)).str()) +
                 makeMessage("||", "");
    return bytes;
}

class ReplaySession : public ::testing::Test {
protected:
    void SetUp() override {
        setUiBridge(&bridge_);
        profile_ = std::make_unique<TProfile>((dir_ / "telvor.ini").string());
        setProfile(profile_.get());
        session_ = std::make_unique<TSession>(*profile_, view_);
        std::ofstream(dir_ / "site.vxr", std::ios::binary) << epochs(5);
    }
    void TearDown() override {
        if (CurrentConnection)
            session_->disconnect();
        session_.reset();
        setProfile(nullptr);
        setUiBridge(nullptr);
    }
    bool until(const std::function<bool()>& done) { return bridge_.processUntil(done, 5000); }

    TTempDir dir_{"telvor-replay-session"};
    TPlainBridge bridge_;
    TFakeView view_;
    std::unique_ptr<TProfile> profile_;
    std::unique_ptr<TSession> session_;
};

TEST_F(ReplaySession, RecordingTakesThePlaceOfTheReceiverUntilDisconnect) {
    EXPECT_FALSE(session_->openRecording((dir_ / "none.vxr").string()));
    EXPECT_NE(session_->lastError().find("Can't open"), std::string::npos);
    EXPECT_EQ(view_.statusLine, session_->lastError());
    EXPECT_EQ(CurrentConnection, nullptr);

    ASSERT_TRUE(session_->openRecording((dir_ / "site.vxr").string())) << session_->lastError();
    EXPECT_TRUE(session_->replaying());
    EXPECT_TRUE(session_->connected());
    EXPECT_TRUE(view_.monitorTimer);
    EXPECT_EQ(view_.panel, "Replay site.vxr");
    EXPECT_EQ(view_.title, "Telvor - site.vxr");
    EXPECT_TRUE(view_.items[TMenuItem::Disconnect]);
    EXPECT_TRUE(view_.items[TMenuItem::Connect]); // to go back to the receiver

    // A window that needs the receiver says why it does not open; the others open.
    EXPECT_TRUE(session_->refuseWhileReplaying(TMenuItem::FileManager));
    EXPECT_TRUE(session_->refuseWhileReplaying(TMenuItem::ResetReceiver));
    EXPECT_FALSE(session_->refuseWhileReplaying(TMenuItem::Site));
    EXPECT_FALSE(session_->refuseWhileReplaying(TMenuItem::Plots));
    bool ran = false;
    session_->runSubWindow([&] { ran = true; }, true);
    EXPECT_FALSE(ran);
    ASSERT_EQ(view_.boxes.size(), 3u);
    EXPECT_EQ(view_.boxes.back().text, "Not available while replaying a recording");

    session_->disconnect();
    EXPECT_FALSE(session_->replaying());
    EXPECT_EQ(CurrentConnection, nullptr);
    EXPECT_FALSE(view_.monitorTimer);
    EXPECT_EQ(view_.panel, "Disconnected");
    EXPECT_FALSE(session_->refuseWhileReplaying(TMenuItem::FileManager));
}

TEST_F(ReplaySession, BarPausesStepsJumpsAndTellsTheEndOnce) {
    int jumps = 0;
    std::vector<std::string> ends;
    TReplayControl control(
        {[&] { ++jumps; }, [&](const std::string& summary) { ends.push_back(summary); }});
    EXPECT_FALSE(control.update().visible);

    ASSERT_TRUE(session_->openRecording((dir_ / "site.vxr").string()));
    control.togglePause();
    TReplayBarState s = control.update();
    EXPECT_TRUE(s.visible);
    EXPECT_EQ(s.pauseCaption, "Resume");
    EXPECT_TRUE(s.stepEnabled);
    EXPECT_EQ(s.sliderMaximum, 4);
    EXPECT_EQ(TReplayControl::speedCaptions()[std::size_t(s.speedIndex)], "1x");

    // Paused at once, at most the first epoch has gone; one step more shows the next.
    const int before = int(CurrentReplay()->status().epoch);
    control.step();
    ASSERT_TRUE(until([&] { return int(CurrentReplay()->status().epoch) == before + 1; }));
    s = control.update();
    EXPECT_EQ(s.sliderValue, before);
    EXPECT_EQ(s.timeText, "01:00:0" + std::to_string(before + 1));
    // Five epochs of 16 bytes: the file is shown in kB.
    EXPECT_EQ(s.positionText.rfind("Epoch " + std::to_string(before + 1) + " of 5, 0.", 0), 0u)
        << s.positionText;
    EXPECT_NE(s.positionText.find(" of 0.1 kB"), std::string::npos) << s.positionText;

    control.seek(3);
    EXPECT_EQ(jumps, 1);
    control.step();
    ASSERT_TRUE(until([&] { return CurrentReplay()->status().receiverMs == 3604000; }));

    control.chooseSpeed(int(TReplayControl::speedCaptions().size()) - 1); // max
    control.togglePause();
    ASSERT_TRUE(until([&] {
        control.update();
        return !ends.empty();
    }));
    s = control.update();
    EXPECT_EQ(s.pauseCaption, "Pause");
    EXPECT_EQ(s.timeText, "01:00:05");
    EXPECT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].rfind("Replayed 5 epochs, ", 0), 0u) << ends[0];
    EXPECT_NE(ends[0].find("0 bytes skipped"), std::string::npos) << ends[0];
}

TEST(ReplayTexts, ReceiverTimeGoesOnPastADayAndSizesFitTheFile) {
    TReplayStatus big;
    big.epoch = 12;
    big.epochs = 3600;
    big.position = 1250000;
    big.size = 4500000;
    EXPECT_EQ(replayPositionText(big), "Epoch 12 of 3600, 1.2 of 4.5 MB");
    EXPECT_EQ(replayTimeText(-1), "--:--:--");
    EXPECT_EQ(replayTimeText(0), "00:00:00");
    EXPECT_EQ(replayTimeText(86400000 + 3723000), "25:02:03");
}

} // namespace
