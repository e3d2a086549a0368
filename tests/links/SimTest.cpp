// The links, the input thread and the command engine against telvor-sim over a real pty and
// a real TCP socket.
#include "links/Tcpasyncconn.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Debugcore.h"
#include "protocol/Latestmsgs.h"
#include "sim/Receiver.h"
#include "support/Peers.h"

#include <algorithm>
#include <chrono>

namespace telvor::testing {
namespace {

const char* kMonitorList = "/PG,/PV,/DP,/MS,/RT,/RD,/OO,/TT,/XA,/XB,/SG,/GA:0,/NA:0,/SI,/NN,/EL,"
                           "/DO,/DC,/AZ,/EC,/E1,/E2,/TC,/SS,/GS,/NS,/EE";

telvorsim::TSimOptions fastOptions() {
    telvorsim::TSimOptions o;
    o.baud = 460800;
    o.epochWallMs = 200;
    return o;
}

long countCommands(const telvorsim::TSimReceiver& sim, const std::string& text) {
    auto all = sim.commands();
    return std::count(all.begin(), all.end(), text);
}

// Counts epoch ends as the plot store sees them.
struct TEpochCounter : TPlotSink {
    std::atomic<int> ends{0};
    void Offer(const std::uint8_t* m, std::size_t) override {
        if (m[0] == '|' && m[1] == '|')
            ++ends;
    }
    void InputModeChanged(TInputMode) override {}
};

class SimLink : public TLinkFixture {
protected:
    void SetUp() override {
        TLinkFixture::SetUp();
        SetLatencyAllowance(0);
        bridge_.setHandler(TWindowId::Main, [this](std::uint32_t code) {
            if (code == kSyncCode)
                ++syncs_;
        });
        bridge_.setHandler(TWindowId::Debug,
                           [](std::uint32_t code) { debugCore().handleCode(code); });
    }
    bool filled(const char* id) {
        std::lock_guard lock(commState().mainLock);
        return !latestMessages().Empty(TLatestMessages::RowOf(id[0], id[1]));
    }

    int syncs_ = 0;
};

TEST_F(SimLink, SerialSessionOverAPty) {
    telvorsim::TSimReceiver sim(fastOptions());
    const std::string port = sim.startPty();
    ASSERT_FALSE(port.empty()) << sim.lastError();
    ASSERT_EQ(CreateReceiverConnection(port, {}), "");

    // At the wrong rate the receiver only reads garbage.
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 300), "<unknown>");
    ASSERT_TRUE(CurrentConnection->SetSpeed(460800));
    ASSERT_TRUE(Synchronise(3));
    EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");

    // Setting a parameter, and a refused one answered "ER".
    EXPECT_EQ(SendAndWait("%%set,/par/out/elm/cur/term,-90", 2000), TReply::RE);
    EXPECT_EQ(sim.param("/par/out/elm/dev/ser/a"), "-90");
    EXPECT_EQ(SendAndWait("%%set,/par/rcv/model,OTHER", 2000), TReply::ER);
    EXPECT_FALSE(ReplyText(5).empty());
    EXPECT_NE(PrintParameter("/par/no/such", "ERROR", 2000), "ERROR");

    // Retries follow "ER" but stop at the first timeout.
    telvorsim::TFaults faults;
    faults.refuse = "^dm,,vxr/PG";
    sim.setFaults(faults);
    EXPECT_FALSE(SendWithRetries("dm,,vxr/PG", 3));
    EXPECT_EQ(countCommands(sim, "%command%dm,,vxr/PG"), 3);
    faults = {};
    faults.ignore = "^dm,,vxr/SI";
    sim.setFaults(faults);
    EXPECT_FALSE(SendWithRetries("dm,,vxr/SI", 3));
    EXPECT_EQ(countCommands(sim, "%command%dm,,vxr/SI"), 1);
    sim.setFaults({});

    // A garbage line (answered "ER"), then back in step.
    ASSERT_TRUE(CurrentConnection->WriteRaw("\x01\x02garbage\r\n"));
    EXPECT_TRUE(Synchronise(3));

    // Monitoring: the table fills and every epoch end posts SYNC once.
    TEpochCounter epochs;
    commState().SetPlotSink(&epochs);
    SetInputMode(TInputMode::Monitoring);
    ASSERT_TRUE(EnableMessages(kMonitorList));
    ASSERT_TRUE(until([&] { return epochs.ends >= 4; }, 20000));
    for (const char* id : {"~~", "RD", "SI", "EL", "AZ", "PG", "PV", "DP", "SG"})
        EXPECT_TRUE(filled(id)) << id;
    EXPECT_EQ(SendAndWait("dm", 2000), TReply::RE);
    until([] { return false; }, 500); // let what was under way arrive
    EXPECT_EQ(syncs_, epochs.ends.load());
    commState().SetPlotSink(nullptr);
    SetInputMode(TInputMode::Idle);

    // Closing joins the thread; the same port opens again.
    CloseReceiverConnection();
    ASSERT_EQ(CreateReceiverConnection(port, {}), "");
    ASSERT_TRUE(CurrentConnection->SetSpeed(460800));
    EXPECT_TRUE(Synchronise(3));

    // Unplugged: reported once, and the thread sleeps until the close.
    const long errorsBefore = debugCore().totalErrors();
    sim.stop();
    ASSERT_TRUE(until([&] { return debugCore().totalErrors() > errorsBefore; }));
    EXPECT_EQ(CurrentConnection->ErrorText(), "Device removed");
    const double cpu = processCpuMs();
    until([] { return false; }, 300);
    EXPECT_LT(processCpuMs() - cpu, 150.0);
    EXPECT_EQ(debugCore().totalErrors(), errorsBefore + 1);
    CloseReceiverConnection();
}

TEST_F(SimLink, EthernetSessionOverTcp) {
    telvorsim::TSimOptions options = fastOptions();
    options.password = "secret";
    telvorsim::TSimReceiver sim(options);
    const int tcpPort = sim.startTcp(0);
    ASSERT_GT(tcpPort, 0) << sim.lastError();

    for (int round = 0; round < 3; ++round) {
        TLinkSettings settings;
        settings.ethrHost = "127.0.0.1";
        settings.ethrPort = std::to_string(tcpPort);
        ASSERT_EQ(CreateReceiverConnection("ETHR", settings), "");
        TEvent done;
        ASSERT_TRUE(CurrentConnection->StartConnect(&done));
        ASSERT_TRUE(done.Wait(10000));
        ASSERT_EQ(CurrentConnection->ErrorText(), "");

        // The login dialogue, as the session runs it.
        ASSERT_TRUE(until([] { return ReplyText(0).find("login:") != std::string::npos; }));
        CurrentConnection->WriteRaw("\r\n");
        ASSERT_TRUE(until([] { return ReplyText(0).find("Password:") != std::string::npos; }));
        CurrentConnection->WriteRaw("secret\r\n");
        bool ready = false;
        for (int i = 0; i < 10 && !ready; ++i)
            ready = SendLine("##\ndm\n%%") && AwaitReply("RE", 200);
        ASSERT_TRUE(ready);
        // "dm" and "%%" each get a reply: let the second one land before the next line.
        until([] { return false; }, 300);

        EXPECT_EQ(PrintParameter("/par/rcv/model", "<unknown>", 2000), "VORNA");
        EXPECT_EQ(PrintParameter("/cur/term", "", 2000), "/dev/tcp/a");
        EXPECT_EQ(SendAndWait("%%set,/par/rcv/model,X", 2000), TReply::ER);

        TEpochCounter epochs;
        commState().SetPlotSink(&epochs);
        SetInputMode(TInputMode::Monitoring);
        ASSERT_TRUE(EnableMessages(kMonitorList));
        ASSERT_TRUE(until([&] { return epochs.ends >= 2; }, 20000));
        EXPECT_TRUE(filled("PG"));
        commState().SetPlotSink(nullptr);

        // The thread is blocked waiting on the socket: closing must still return.
        CloseReceiverConnection();
        SetInputMode(TInputMode::Idle);
        ASSERT_TRUE(until([&] { return !sim.peerConnected(); }));
    }
}

} // namespace
} // namespace telvor::testing
