// The input thread's routing by input mode and the dispatch of split messages, with a pty
// playing the receiver.
#include "protocol/Commthread.h"
#include "links/Tcpclientconnection.h"
#include "protocol/Commstate.h"
#include "protocol/Latestmsgs.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace telvor::testing {
namespace {

struct TRecorder : TRealTimeSink, TPlotSink, TDecoderSink, TTerminalSink, TSharingSink {
    mutable std::mutex lock;
    std::string file, terminal, shared;
    std::vector<std::string> offered, events;
    std::uint32_t time = 0;
    bool client = true;

    void note(std::string e) {
        std::lock_guard l(lock);
        events.push_back(std::move(e));
    }
    void WriteData(const std::uint8_t* d, std::size_t n) override {
        std::lock_guard l(lock);
        file.append(reinterpret_cast<const char*>(d), n);
    }
    void NextFile() override { note("next:" + std::to_string(file.size())); }
    void OnReceiverDate(const std::uint8_t* five) override {
        note("date:" + std::to_string(five[0] | five[1] << 8));
    }
    void OnReceiverTime(std::uint32_t ms) override { time = ms; }
    void OnPlaybackTimer() override {}
    void Offer(const std::uint8_t* m, std::size_t n) override {
        std::lock_guard l(lock);
        offered.emplace_back(reinterpret_cast<const char*>(m), n);
    }
    void InputModeChanged(TInputMode) override {}
    void OnAlmanac(const std::uint8_t* m, std::size_t) override {
        note(std::string("almanac:") + char(m[0]));
    }
    void OnExternalEvent(const std::uint8_t* m, std::size_t) override {
        note(std::string("event:") + char(m[1]));
    }
    void OnTerminalData(const std::uint8_t* d, std::size_t n) override {
        std::lock_guard l(lock);
        terminal.append(reinterpret_cast<const char*>(d), n);
    }
    bool ClientConnected() const override { return client; }
    void OnReceiverData(const std::uint8_t* d, std::size_t n) override {
        std::lock_guard l(lock);
        shared.append(reinterpret_cast<const char*>(d), n);
    }
    void OnLinkClosing() override { note("closing"); }
    template <class F> auto with(F f) {
        std::lock_guard l(lock);
        return f();
    }
};

class CommThread : public TLinkFixture {
protected:
    void SetUp() override {
        TLinkFixture::SetUp();
        bridge_.setHandler(TWindowId::Main, [this](std::uint32_t code) {
            if (code == kSyncCode)
                ++mainSyncs_;
        });
        bridge_.setHandler(TWindowId::RealTime, [this](std::uint32_t code) {
            if (code == kSyncCode)
                ++realTimeSyncs_;
        });
        ASSERT_EQ(CreateReceiverConnection(pty_.slave(), {}), "");
    }
    std::string replyBuffer() {
        return std::string(reinterpret_cast<const char*>(CurrentConnection->Input.Data()),
                           CurrentConnection->Input.Fill());
    }
    std::string slot(const char* id) {
        std::lock_guard lock(commState().mainLock);
        int row = TLatestMessages::RowOf(id[0], id[1]);
        return std::string(reinterpret_cast<const char*>(latestMessages().Slot(row)),
                           latestMessages().Length(row));
    }

    TPty pty_;
    TRecorder rec_;
    int mainSyncs_ = 0;
    int realTimeSyncs_ = 0;
};

TEST_F(CommThread, MonitoringFillsTheTableAndPostsSyncAtEachEpochEnd) {
    commState().SetPlotSink(&rec_);
    commState().SetDecoderSink(&rec_);
    SetInputMode(TInputMode::Monitoring);
    const std::string pg1 = makeMessage("PG", "position one");
    const std::string pg2 = makeMessage("PG", "position two");
    const std::string reply = makeReply("ok");
    const std::string epochEnd = makeMessage("||", "");
    const std::string ga = makeMessage("GA", "alm");
    const std::string xb = makeMessage("XB", "ev");

    pty_.write("\r\nnoise" + pg1 + reply + ga + epochEnd);
    ASSERT_TRUE(until([&] { return mainSyncs_ == 1; }));
    EXPECT_EQ(slot("PG"), pg1);
    EXPECT_EQ(replyBuffer(), reply + "\r\n"); // the PG is not a reply
    pty_.write(pg2 + xb + epochEnd);
    ASSERT_TRUE(until([&] { return mainSyncs_ == 2; }));
    EXPECT_EQ(slot("PG"), pg2);
    EXPECT_EQ(rec_.with([&] { return rec_.offered.size(); }), 7u);
    EXPECT_EQ(rec_.with([&] { return rec_.events; }),
              (std::vector<std::string>{"almanac:G", "event:B"}));

    // The configuration window reads positions through the reply buffer.
    commState().configWindowOpen = true;
    CurrentConnection->Input.Clear();
    pty_.write(pg1);
    ASSERT_TRUE(until([&] { return replyBuffer() == pg1 + "\r\n"; }));

    // A mode change empties the buffer and every slot.
    SetInputMode(TInputMode::Idle);
    EXPECT_EQ(CurrentConnection->Input.Fill(), 0);
    EXPECT_EQ(slot("PG"), "");
}

TEST_F(CommThread, LoggingWritesEverythingButRepliesOnceAndInOrder) {
    commState().SetRealTimeSink(&rec_);
    SetInputMode(TInputMode::Logging);
    std::string time(4, '\0');
    time[0] = 0x10;
    time[1] = 0x27; // 10000 ms
    const std::string tilde = makeMessage("~~", time + "x");
    const std::string qf = makeMessage("QF", std::string(85, 'q'));
    ASSERT_EQ(qf.size(), 90u);
    const std::string gs = makeMessage("GS", "status");
    const std::string pv = makeMessage("PV", "velocity");
    const std::string fend = makeReply("", "%FEnd%");
    const std::string epochEnd = makeMessage("||", "");

    // Sent in odd pieces so that messages straddle chunks.
    const std::string stream = tilde + "junk" + pv + gs + fend + qf + "\r\n" + epochEnd;
    for (std::size_t i = 0; i < stream.size(); i += 7) {
        pty_.write(stream.substr(i, 7));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(until([&] { return realTimeSyncs_ == 2; })); // "~~" and "||"
    EXPECT_EQ(mainSyncs_, 0);
    const std::string expected = tilde + "junk" + pv + qf + "\r\n" + epochEnd;
    ASSERT_TRUE(until([&] { return rec_.with([&] { return rec_.file == expected; }); }))
        << rec_.file;
    EXPECT_EQ(rec_.time, 10000u);
    // "%FEnd%" switches before the "QF", and a 90-byte "QF" switches before it is written.
    const std::string before = std::to_string((tilde + "junk" + pv).size());
    EXPECT_EQ(rec_.with([&] { return rec_.events; }),
              (std::vector<std::string>{"next:" + before, "next:" + before}));

    // Before a file switch the bytes of a message still incomplete go out too.
    const std::string partial = makeMessage("PV", "unfinished").substr(0, 8);
    pty_.write(partial);
    until([] { return false; }, 100);
    CurrentConnection->Thread->FlushPending();
    EXPECT_EQ(rec_.with([&] { return rec_.file; }), expected + partial);
}

TEST_F(CommThread, TestPlaybackReplaysSiteFileEpochByEpoch) {
    TTempDir dir("telvor-playback");
    const std::string path = (dir / TCommThread::kPlaybackFile).string();
    const std::string epoch =
        makeMessage("~~", "tick") + makeMessage("PG", "here") + makeMessage("||", "");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(epoch.data(), 1, epoch.size(), f);
        std::fclose(f);
    }
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(dir.path.c_str()), 0);
    commState().testMode = true;
    SetInputMode(TInputMode::Monitoring);
    // Nothing comes from the port; the file plays, rewinding at its end.
    pty_.write("x"); // wakes the thread into the playback loop
    EXPECT_TRUE(until([&] { return mainSyncs_ >= 3; }));
    EXPECT_EQ(slot("PG"), makeMessage("PG", "here"));
    commState().testMode = false;
    SetInputMode(TInputMode::Idle);
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);
}

TEST_F(CommThread, TerminalTransferAndSharingHandOffs) {
    commState().SetTerminalSink(&rec_);
    SetInputMode(TInputMode::Terminal);
    pty_.write("typed text");
    ASSERT_TRUE(until([&] { return rec_.with([&] { return rec_.terminal; }) == "typed text"; }));
    EXPECT_EQ(CurrentConnection->Input.Fill(), 0);

    SetInputMode(TInputMode::Transfer);
    commState().transferEvent.Reset();
    commState().transferThreshold = 6;
    pty_.write("abc");
    ASSERT_TRUE(until([&] { return CurrentConnection->Input.Fill() == 3; }));
    EXPECT_FALSE(commState().transferEvent.IsSet());
    pty_.write("def");
    EXPECT_TRUE(commState().transferEvent.Wait(5000));

    // A sharing client gets every chunk; with the monitor timer off nothing else happens.
    SetInputMode(TInputMode::Idle);
    commState().SetSharingSink(&rec_);
    commState().connectionMode = cmInternetServer;
    commState().monitorTimerOn = false;
    pty_.write("shared");
    ASSERT_TRUE(until([&] { return rec_.with([&] { return rec_.shared; }) == "shared"; }));
    until([] { return false; }, 50);
    EXPECT_EQ(CurrentConnection->Input.Fill(), 0);
    commState().monitorTimerOn = true;
    pty_.write("both");
    ASSERT_TRUE(until([&] { return CurrentConnection->Input.Fill() == 4; }));

    CloseReceiverConnection();
    EXPECT_EQ(rec_.with([&] { return rec_.events; }), std::vector<std::string>{"closing"});
}

TEST_F(CommThread, ClosingWhileAHandOffWaitsForTheUiThread) {
    commState().SetTerminalSink(&rec_);
    SetInputMode(TInputMode::Terminal);
    for (int i = 0; i < 20; ++i) {
        pty_.write("x");
        // No events processed here: the thread is (or soon will be) stuck in its hand-off.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        CloseReceiverConnection();
        ASSERT_EQ(CreateReceiverConnection(pty_.slave(), {}), "");
    }
}

struct TWcRecorder : TRemoteWriter {
    std::vector<std::size_t> pieces;
    int stops = 0;
    bool WriteWC(const std::uint8_t*, std::size_t n) override {
        pieces.push_back(n);
        return true;
    }
    void Stop() override { ++stops; }
};

TEST_F(CommThread, RemoteClientLinkWritesInPiecesAndIsRoutedByModeFromOutside) {
    TWcRecorder writer;
    SetRemoteWriter(&writer);
    TLinkSettings client;
    client.mode = cmInternetClient;
    ASSERT_EQ(CreateReceiverConnection("", client), "");
    std::string big(4000, 'b');
    EXPECT_EQ(CurrentConnection->Write(reinterpret_cast<const std::uint8_t*>(big.data()), 4000),
              4000);
    EXPECT_EQ(writer.pieces, (std::vector<std::size_t>{1500, 1500, 1000}));
    writer.pieces.clear();
    EXPECT_EQ(CurrentConnection->Write(nullptr, 0), 0);
    EXPECT_EQ(writer.pieces, std::vector<std::size_t>{0});

    // What the sharing server sends goes where the thread's own reads would go, in each mode.
    auto route = [](const std::string& bytes) {
        RouteInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), int(bytes.size()));
    };
    const std::string reply = makeReply("fed");
    route(reply.substr(0, 4));
    route(reply.substr(4));
    EXPECT_EQ(replyBuffer(), reply);

    commState().SetTerminalSink(&rec_);
    SetInputMode(TInputMode::Terminal);
    route("remote typing");
    EXPECT_EQ(rec_.with([&] { return rec_.terminal; }), "remote typing");
    EXPECT_EQ(CurrentConnection->Input.Fill(), 0);

    SetInputMode(TInputMode::Transfer);
    commState().transferEvent.Reset();
    commState().transferThreshold = 6;
    route("abcdef");
    EXPECT_TRUE(commState().transferEvent.IsSet());
    EXPECT_EQ(replyBuffer(), "abcdef");

    SetInputMode(TInputMode::Monitoring);
    const std::string pg = makeMessage("PG", "remote");
    const std::string end = makeMessage("||", "");
    route(pg + end);
    EXPECT_EQ(slot("PG"), pg);
    ASSERT_TRUE(until([&] { return mainSyncs_ == 1; }));
    commState().SetTerminalSink(nullptr);

    CloseReceiverConnection();
    EXPECT_EQ(writer.stops, 1);
    SetRemoteWriter(nullptr);
}

} // namespace
} // namespace telvor::testing
