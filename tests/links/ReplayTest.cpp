// The replay link: pacing by receiver time on a fake clock, the epoch index of a recording,
// and recordings with damage and a cut-off end through the real input thread and splitter.
#include "links/Portio.h"
#include "links/Replayconnection.h"
#include "protocol/Commthread.h"
#include "support/Messagemaker.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <fstream>
#include <mutex>
#include <vector>

namespace telvor::testing {
namespace {

class TFakeClock : public TReplayClock {
public:
    std::int64_t nowMs() override { return now; }
    std::int64_t now = 1000;
};

std::string timeMessage(std::uint32_t ms) {
    return makeMessage("~~", TPack().put(ms).str());
}

// One epoch as the receiver sends it: time, a position-like message, the epoch end.
std::string epoch(std::uint32_t ms) {
    return timeMessage(ms) + makeMessage("SI", std::string("\x01\x02", 2)) + makeMessage("||", "");
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// ---------------------------------------------------------------------------------------------

TEST(ReplayPacer, FollowsReceiverTimeAtEverySpeed) {
    TFakeClock clock;
    TReplayPacer pacer(clock);
    // The first epoch goes at once and anchors the timing.
    EXPECT_EQ(pacer.waitMs(50000), 0);
    pacer.released(50000);
    // Real time: the next epoch one receiver second later waits one second...
    EXPECT_EQ(pacer.waitMs(51000), 1000);
    clock.now += 400;
    EXPECT_EQ(pacer.waitMs(51000), 600);
    clock.now += 600;
    EXPECT_EQ(pacer.waitMs(51000), 0);
    pacer.released(51000);
    // ...and a late consumer does not shift the timing: epochs due by now go at once.
    clock.now += 2500;
    EXPECT_EQ(pacer.waitMs(52000), 0);
    pacer.released(52000);
    EXPECT_EQ(pacer.waitMs(53000), 0);
    pacer.released(53000);
    EXPECT_EQ(pacer.waitMs(54000), 500);

    // Ten times faster from here: counted from the last epoch, not from the start.
    pacer.setSpeed(10);
    EXPECT_EQ(pacer.waitMs(54000), 100);
    clock.now += 100;
    EXPECT_EQ(pacer.waitMs(54000), 0);
    pacer.released(54000);
    EXPECT_EQ(pacer.waitMs(55000), 100);

    pacer.setSpeed(TReplayPacer::kAsFastAsPossible);
    EXPECT_EQ(pacer.waitMs(55000), 0);
    EXPECT_EQ(pacer.waitMs(99000), 0);
}

TEST(ReplayPacer, PauseStepsAndResumesWhereItStood) {
    TFakeClock clock;
    TReplayPacer pacer(clock);
    pacer.released(1000);
    pacer.setPaused(true);
    clock.now += 5000;
    EXPECT_EQ(pacer.waitMs(2000), -1);
    pacer.step();
    pacer.step();
    EXPECT_EQ(pacer.waitMs(2000), 0);
    pacer.released(2000);
    EXPECT_EQ(pacer.waitMs(3000), 0);
    pacer.released(3000);
    EXPECT_EQ(pacer.waitMs(4000), -1);
    // Resumed after a long pause: one receiver second after the epoch shown last, not a burst.
    clock.now += 60000;
    pacer.setPaused(false);
    EXPECT_EQ(pacer.waitMs(4000), 1000);
    // A step outside a pause does nothing.
    pacer.step();
    EXPECT_EQ(pacer.waitMs(4000), 1000);
}

TEST(ReplayPacer, GapsJumpsAndTimeGoingBackAreNotWaitedFor) {
    TFakeClock clock;
    TReplayPacer pacer(clock);
    pacer.released(10000);
    // An hour without epochs (logging was stopped): the next one goes at once, then 1 s steps.
    EXPECT_EQ(pacer.waitMs(10000 + 3600000), 0);
    pacer.released(10000 + 3600000);
    EXPECT_EQ(pacer.waitMs(10000 + 3601000), 1000);
    // Back in time.
    EXPECT_EQ(pacer.waitMs(5000), 0);
    pacer.released(5000);
    EXPECT_EQ(pacer.waitMs(6000), 1000);
    // A jump restarts the timing at the epoch it lands on.
    pacer.restart();
    EXPECT_EQ(pacer.waitMs(500000), 0);
    pacer.released(500000);
    EXPECT_EQ(pacer.waitMs(500200), 200);
}

TEST(ReplayFile, IndexesCheckedEpochsAcrossMidnight) {
    TTempDir dir("telvor-replay");
    std::string bad = timeMessage(20000);
    bad[6] ^= 0x40; // checksum no longer holds
    const std::string bytes = makeReply("x") + epoch(86398000) + "~~005" + epoch(86399000) + bad +
                              epoch(0) + epoch(1000) + timeMessage(2000).substr(0, 7);
    writeFile(dir / "a.vxr", bytes);
    TReplayFile file;
    ASSERT_EQ(file.open((dir / "a.vxr").string()), "");
    ASSERT_EQ(file.epochs().size(), 4u);
    EXPECT_EQ(file.epochs()[0].offset, makeReply("x").size());
    EXPECT_EQ(file.epochs()[1].receiverMs, 86399000);
    EXPECT_EQ(file.epochs()[2].receiverMs, 86400000);
    EXPECT_EQ(file.epochs()[3].receiverMs, 86401000);
    EXPECT_EQ(file.epochAt(86399500), 2u);
    EXPECT_EQ(file.epochAt(0), 0u);
    EXPECT_EQ(file.epochAt(90000000), 4u);
    EXPECT_EQ(file.epochEnd(3), bytes.size());

    TReplayFile missing;
    EXPECT_NE(missing.open((dir / "none.vxr").string()).find("Can't open"), std::string::npos);
    TReplayFile folder;
    EXPECT_NE(folder.open(dir.path.string()), "");
}

// ---------------------------------------------------------------------------------------------
// Through the input thread, as monitoring sees it.

struct TOffered : TPlotSink {
    std::mutex lock;
    std::vector<std::string> ids;
    std::vector<std::uint32_t> times;
    void Offer(const std::uint8_t* m, std::size_t) override {
        std::lock_guard l(lock);
        ids.emplace_back(reinterpret_cast<const char*>(m), 2);
        if (m[0] == '~')
            times.push_back(m[5] | m[6] << 8 | m[7] << 16 | std::uint32_t(m[8]) << 24);
    }
    void InputModeChanged(TInputMode) override {}
    std::size_t count() {
        std::lock_guard l(lock);
        return ids.size();
    }
};

class ReplayLink : public TLinkFixture {
protected:
    void SetUp() override {
        TLinkFixture::SetUp();
        commState().SetPlotSink(&offered_);
        bridge_.setHandler(TWindowId::Main, [this](std::uint32_t code) {
            if (code == kSyncCode)
                ++syncs_;
        });
    }
    void TearDown() override {
        CloseReceiverConnection();
        TLinkFixture::TearDown();
    }
    TReplayConnection* open(const std::string& bytes) {
        writeFile(dir_ / "r.vxr", bytes);
        SetInputMode(TInputMode::Monitoring);
        EXPECT_EQ(OpenReplayConnection((dir_ / "r.vxr").string()), "");
        return CurrentReplay();
    }
    // Paused before its thread starts, so that nothing goes until a step.
    TReplayConnection* openPaused(const std::string& bytes) {
        writeFile(dir_ / "r.vxr", bytes);
        SetInputMode(TInputMode::Monitoring);
        auto* link = new TReplayConnection((dir_ / "r.vxr").string());
        CurrentConnection = link;
        link->setPaused(true);
        link->ResumeThread();
        return link;
    }

    TTempDir dir_{"telvor-replay"};
    TOffered offered_;
    int syncs_ = 0;
};

TEST_F(ReplayLink, DamagedAndCutOffRecordingPlaysToItsEndAndCountsWhatWasLost) {
    std::string damaged = epoch(2000);
    damaged[15] ^= 0x11; // a body byte of "SI": its checksum fails
    const std::string tail = timeMessage(4000).substr(0, 6);
    const std::string bytes = epoch(1000) + "\r\n" + "garbage" + damaged + epoch(3000) + tail;
    TReplayConnection* link = open(bytes);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->Kind, kLinkReplay);
    link->setSpeed(TReplayPacer::kAsFastAsPossible);
    ASSERT_TRUE(until([&] { return link->status().finished; }));

    // Every good message, in order; one "SYNC" per epoch end, each handled before the next
    // epoch went.
    EXPECT_EQ(offered_.ids,
              (std::vector<std::string>{"~~", "SI", "||", "~~", "||", "~~", "SI", "||"}));
    EXPECT_EQ(syncs_, 3);
    const TSplitCounts counts = link->Thread->Counts();
    EXPECT_EQ(counts.messages, 8u);
    EXPECT_EQ(counts.skipped, 2 + 7 + makeMessage("SI", "ab").size());
    EXPECT_EQ(counts.damaged, 7 + makeMessage("SI", "ab").size());
    EXPECT_EQ(link->Thread->PendingBytes(), tail.size());
    const TReplayStatus s = link->status();
    EXPECT_EQ(s.position, bytes.size());
    EXPECT_EQ(s.epochs, 3u);
    EXPECT_EQ(s.receiverMs, 3000);
    // Commands go nowhere and fail at once.
    EXPECT_FALSE(link->SendCommand("print,/par/rcv/model"));
}

TEST_F(ReplayLink, RawMeasurementFramesAreSkippedButNotCountedAsDamage) {
    // Long enough to reach across the replay's reads.
    const std::string raw = makeRawFrame(std::string(3000, '\x7f'));
    const std::string bytes = epoch(1000) + raw + "\r\n" + epoch(2000) + raw + epoch(3000);
    TReplayConnection* link = open(bytes);
    ASSERT_TRUE(link);
    link->setSpeed(TReplayPacer::kAsFastAsPossible);
    ASSERT_TRUE(until([&] { return link->status().finished; }));
    const TSplitCounts counts = link->Thread->Counts();
    EXPECT_EQ(counts.messages, 9u);
    EXPECT_EQ(counts.skipped, 2 * raw.size() + 2);
    EXPECT_EQ(counts.damaged, 0u);
}

TEST_F(ReplayLink, PausedReplayStepsAndJumpsOneEpochAtATime) {
    std::string bytes;
    for (std::uint32_t t = 1000; t <= 10000; t += 1000)
        bytes += epoch(t);
    TReplayConnection* link = openPaused(bytes);
    until([] { return false; }, 200);
    EXPECT_EQ(offered_.count(), 0u);

    link->step();
    ASSERT_TRUE(until([&] { return offered_.count() == 3; }));
    link->step();
    ASSERT_TRUE(until([&] { return offered_.count() == 6; }));
    EXPECT_EQ(link->status().receiverMs, 2000);
    EXPECT_EQ(link->status().epoch, 2u);

    link->seekTime(7500);
    link->step();
    ASSERT_TRUE(until([&] { return offered_.count() == 9; }));
    EXPECT_EQ(offered_.times, (std::vector<std::uint32_t>{1000, 2000, 8000}));
    EXPECT_EQ(link->status().receiverMs, 8000);
    EXPECT_FALSE(link->status().finished);

    link->setSpeed(TReplayPacer::kAsFastAsPossible);
    link->setPaused(false);
    ASSERT_TRUE(until([&] { return link->status().finished; }));
    EXPECT_EQ(offered_.times, (std::vector<std::uint32_t>{1000, 2000, 8000, 9000, 10000}));
}

} // namespace
} // namespace telvor::testing
