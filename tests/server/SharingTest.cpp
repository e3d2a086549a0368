// Both ends of the sharing protocol on real loopback sockets in one process: the connection
// pairs, the busy refusal, the codes, the packet size during downloads and the key.
#include "app/Qtbridge.h"
#include "app/Session.h"
#include "protocol/Commtools.h"
#include "server/Packetreader.h"
#include "server/Tcpsharing.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"
#include "support/Eventually.h"
#include "support/Fakeview.h"
#include "support/Hostilepeer.h"
#include "support/Tempdir.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace telvor {
namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a = new QCoreApplication(argc, argv);
    return *a;
}

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
    return testing::eventually(done, ms, [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(2000);
    });
}

// A peer that speaks the packets by hand, to see exactly what the server sends.
struct TRawPeer {
    QTcpSocket socket;
    std::vector<std::string> got;
    TPacketReader reader{[this](const std::uint8_t* m, std::size_t n) {
        got.emplace_back(reinterpret_cast<const char*>(m), n);
    }};
    explicit TRawPeer(std::uint16_t port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            QByteArray b = socket.readAll();
            reader.feed(reinterpret_cast<const std::uint8_t*>(b.data()), std::size_t(b.size()));
        });
        socket.connectToHost("127.0.0.1", port);
    }
    void send(const std::string& message) { raw(buildPacket(message, kDefaultSharingKey)); }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    void raw(const TBytes& b) { socket.write(reinterpret_cast<const char*>(b.data()), b.size()); }
    bool has(const std::string& prefix) const {
        for (const auto& m : got)
            if (m.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};

class SharingTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        TSharingConfig c;
        c.port = 0;
        c.bindAddress = "127.0.0.1";
        c.logServer = false;
        c.dnsLookup = false;
        c.greeting = "Telvor Version 9.9 test";
        server.configure(c);
        ASSERT_TRUE(server.StartSharing(TTCPSharing::TRole::Server));
        port = server.serverPort();
    }
    void TearDown() override { SetLatencyAllowance(0); }

    std::unique_ptr<TRawPeer> connectPeer() {
        auto p = std::make_unique<TRawPeer>(port);
        const int before = server.peerCount();
        EXPECT_TRUE(waitFor([&] {
            return p->socket.state() == QAbstractSocket::ConnectedState &&
                   server.peerCount() > before;
        }));
        return p;
    }

    TSharingConfig clientConfig() const {
        TSharingConfig c;
        c.host = "127.0.0.1";
        c.port = port;
        c.dnsLookup = false;
        return c;
    }

    TTCPSharing server;
    std::uint16_t port = 0;
};

TEST_F(SharingTest, SecondConnectionWorksAndAThirdIsRefusedAsBusy) {
    auto placeholder = connectPeer();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_FALSE(server.linkUp());
    EXPECT_TRUE(placeholder->got.empty()); // no greeting for the placeholder

    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return working->has("ME"); }));
    EXPECT_EQ(working->got.front(), "METelvor Version 9.9 test");
    EXPECT_TRUE(server.linkUp());
    EXPECT_TRUE(server.ClientConnected());
    working->send("CHknows the key");
    ASSERT_TRUE(waitFor([&] { return server.proved(); }));

    // The refusal names nobody: the newcomer has shown no password.
    TRawPeer third(port);
    ASSERT_TRUE(waitFor([&] { return third.has("BU"); }));
    EXPECT_EQ(third.got.back(), "BU");
    ASSERT_TRUE(waitFor([&] { return working->has("ME(127.0.0.1)"); }));
    EXPECT_NE(working->got.back().find(" tried to connect to the server"), std::string::npos);
    EXPECT_TRUE(waitFor([&] { return third.socket.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(server.peerCount(), 2);
    EXPECT_TRUE(server.linkUp());
    EXPECT_NE(server.statusLines().back().find("Server busy, connection refused to (127.0.0.1):"),
              std::string::npos);
}

// The client learns of a busy server by its own hook, not by reading status texts; each role
// takes only its own codes.
TEST_F(SharingTest, BusyServerReachesTheClientByItsHookAndEachRoleTakesOnlyItsCodes) {
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return working->has("ME"); }));
    working->send("CHserved");
    ASSERT_TRUE(waitFor([&] { return !server.chatLines().empty(); }));

    TTCPSharing client;
    std::vector<std::string> busy;
    TTCPSharing::THooks hooks;
    hooks.busy = [&](const std::string& line) { busy.push_back(line); };
    client.setHooks(hooks);
    client.configure(clientConfig());
    client.StartSharing(TTCPSharing::TRole::Client);
    client.ActivateClient();
    ASSERT_TRUE(waitFor([&] { return !busy.empty(); }));
    EXPECT_EQ(busy.front().rfind("Server it busy with ", 0), 0u) << busy.front();
    client.StopSharing();

    // "BU" is the server's word: a server that hears it answers as to any unknown code.
    working->send("BU");
    ASSERT_TRUE(waitFor([&] { return working->has("ERUnknown"); }));
    EXPECT_TRUE(working->has("ERUnknown message received, code 5542 (BU)"));
    for (const auto& line : server.statusLines())
        EXPECT_EQ(line.find("Server it busy"), std::string::npos) << line;
}

TEST_F(SharingTest, DownloadCommandSizesTheDataMessagesUntilTheNextPercentCommand) {
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    working->send("WCget,\"/log/a\":{300,1024},0");
    ASSERT_TRUE(waitFor([&] { return server.packetSize() == 1030; }));
    EXPECT_FALSE(server.flushTimerActive());
    const std::string data(2500, 'z');
    server.OnReceiverData(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    // Each packet leaves on its own: both whole ones must arrive, the rest must not.
    auto sizes = [&] {
        std::vector<std::size_t> v;
        for (const auto& m : working->got)
            if (m.rfind("MM", 0) == 0)
                v.push_back(m.size() - 2);
        return v;
    };
    ASSERT_TRUE(waitFor([&] { return sizes().size() >= 2; }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(sizes(), (std::vector<std::size_t>{1030, 1030}));

    working->send("WC%%");
    ASSERT_TRUE(waitFor([&] { return server.packetSize() == 1500 && server.flushTimerActive(); }));
    // The flush timer sends the rest.
    EXPECT_TRUE(waitFor([&] { return working->got.back() == "MM" + std::string(440, 'z'); }));
}

TEST_F(SharingTest, UnknownCodesAreAnsweredAndGarbageIsCountedWithoutLosingTheNextPacket) {
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    working->send("XY");
    ASSERT_TRUE(waitFor([&] { return working->has("ERUnknown"); }));
    EXPECT_TRUE(working->has("ERUnknown message received, code 5958 (XY)"));

    TBytes junk = buildPacket("CHbroken", kDefaultSharingKey);
    junk[9] ^= 1;
    TBytes good = buildPacket("CHhello\r\nthere", kDefaultSharingKey);
    junk.insert(junk.end(), good.begin(), good.end());
    working->raw(junk);
    ASSERT_TRUE(waitFor([&] { return !server.chatLines().empty(); }));
    EXPECT_EQ(server.chatLines().front(), "<hello<cr><lf>there"); // one line, always
    EXPECT_EQ(server.errors(), 1u);

    const std::string tooLong(4097, 'x');
    EXPECT_FALSE(server.SendPeerMessage(tooLong));
    EXPECT_TRUE(server.sendChat(std::string(300, 'c')));
    EXPECT_TRUE(waitFor([&] { return working->has("CHccc"); }));
    EXPECT_EQ(working->got.back().size(), 2u + 256u);
}

TEST_F(SharingTest, ClientWithTheDefaultKeyMeasuresTheDelayAndAWrongKeyIsNoticed) {
    TTCPSharing client;
    TSharingConfig c = clientConfig();
    client.configure(c);
    client.StartSharing(TTCPSharing::TRole::Client);
    client.ActivateClient();
    ASSERT_TRUE(waitFor([&] { return client.linkUp() && server.linkUp(); }));
    EXPECT_EQ(client.atText().rfind("at (127.0.0.1):", 0), 0u);
    ASSERT_TRUE(waitFor([&] { return client.latencyKnown(); }));
    EXPECT_GE(LatencyAllowance(), 500u);
    EXPECT_LE(LatencyAllowance(), 3000u);
    EXPECT_FALSE(client.keyRejected());
    ASSERT_TRUE(waitFor([&] {
        return std::any_of(client.statusLines().begin(), client.statusLines().end(),
                           [](const std::string& l) { return l.rfind("MSG: Telvor", 0) == 0; });
    }));

    // The server sees the client go, and takes the next one.
    client.StopSharing();
    ASSERT_TRUE(waitFor([&] { return !server.linkUp() && server.peerCount() == 0; }));
    c.password = "not the server's";
    client.configure(c);
    client.StartSharing(TTCPSharing::TRole::Client);
    client.ActivateClient();
    EXPECT_TRUE(waitFor([&] { return client.keyRejected(); }));
    EXPECT_FALSE(client.latencyKnown());
    client.StopSharing();
}

// The search asks for an attempt every few seconds: a server that was not up yet must be tried
// again, and an attempt on its way must not be cut short by the next one.
TEST_F(SharingTest, ClientSearchTriesAgainAfterARefusalAndLetsAPendingAttemptRun) {
    server.StopSharing();
    TTCPSharing client;
    TSharingConfig c = clientConfig();
    client.configure(c);
    client.AttemptClient();
    ASSERT_TRUE(waitFor([&] { return client.peerCount() == 0; })); // refused

    TSharingConfig s = server.config();
    s.port = port;
    server.configure(s);
    ASSERT_TRUE(server.StartSharing(TTCPSharing::TRole::Server));
    client.AttemptClient();
    client.AttemptClient();
    ASSERT_TRUE(waitFor([&] { return client.linkUp() && server.linkUp(); }));
    EXPECT_EQ(server.peerCount(), 2);
    client.StopSharing();
}

TEST_F(SharingTest, ConnectionFloodNeverDropsTheServedClient) {
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    working->send("CHserved");
    TTCPSharing::TTimings t;
    t.keepAliveMs = 20;
    t.silenceMs = 60000;
    server.setTimings(t);
    for (int i = 0; i < 15; ++i) {
        TRawPeer intruder(port);
        waitFor([&] { return intruder.has("BU"); }, 2000);
    }
    // The keep-alive has run many times with more than ten connections counted.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    waitFor([] { return false; }, 1200);
    EXPECT_TRUE(server.linkUp());
    EXPECT_EQ(server.peerCount(), 2);
    working->send("CHstill here");
    EXPECT_TRUE(waitFor([&] { return !server.chatLines().empty(); }));
}

// A pair that sends only what every key produces (empty packets, all-ones payloads) never
// shows the password: it is closed, and until then a newcomer is let go without a word.
TEST_F(SharingTest, PairThatNeverShowsThePasswordIsClosedAndStrangersLearnNothing) {
    TTCPSharing::TTimings t;
    t.keepAliveMs = 50;
    t.proofMs = 600;
    server.setTimings(t);
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return working->has("ME"); }));
    working->raw(buildPacket("", "any key"));
    working->raw(buildPacket(std::string(8, '\xFF'), "any key"));
    TRawPeer newcomer(port);
    ASSERT_TRUE(waitFor([&] { return newcomer.closed(); }));
    EXPECT_TRUE(newcomer.got.empty());
    EXPECT_FALSE(working->has("ME(127.0.0.1)")); // not told who tried
    ASSERT_TRUE(waitFor([&] { return working->closed() && placeholder->closed(); }, 3000));
    EXPECT_EQ(server.peerCount(), 0);
    EXPECT_FALSE(server.proved());
    const auto& lines = server.statusLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("No password shown by (127.0.0.1):", 0) == 0;
    }));
}

TEST_F(SharingTest, ClientThatStopsAnsweringPingsIsDropped) {
    TTCPSharing::TTimings t;
    t.keepAliveMs = 50;
    t.silenceMs = 400;
    server.setTimings(t);
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    working->send("CHhere once");
    ASSERT_TRUE(waitFor([&] { return server.proved(); }));
    ASSERT_TRUE(waitFor([&] { return working->closed(); }, 3000));
    EXPECT_FALSE(server.linkUp());
    EXPECT_NE(server.statusLines().end(),
              std::find_if(server.statusLines().begin(), server.statusLines().end(),
                           [](const std::string& l) {
                               return l.find(" answers no pings: connection closed") !=
                                      std::string::npos;
                           }));
}

// Bad packets close their sender after a handful; what comes on the idle connection of the
// pair is not read at all.
TEST_F(SharingTest, BadPacketsCloseThePeerAndTheIdleConnectionIsIgnored) {
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    placeholder->send("CHfrom the idle one");
    placeholder->raw(buildPacket("CHbroken", "wrong key"));
    working->send("CHfrom the working one");
    ASSERT_TRUE(waitFor([&] { return !server.chatLines().empty(); }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(server.chatLines(), std::deque<std::string>{"<from the working one"});
    EXPECT_EQ(server.errors(), 0u);

    for (int i = 0; i < 6; ++i)
        working->raw(buildPacket("TI1234", "wrong key"));
    ASSERT_TRUE(waitFor([&] { return working->closed(); }));
    EXPECT_GE(server.errors(), TTCPSharing::kMaxBadPackets); // those of the last read too
    const auto& lines = server.statusLines();
    auto has = [&](const std::string& prefix) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(has("Bad packets from (127.0.0.1):"));
}

TEST_F(SharingTest, WrongPasswordIsLoggedWithTheAddress) {
    TTCPSharing client;
    TSharingConfig c = clientConfig();
    c.password = "not the server's";
    client.configure(c);
    client.StartSharing(TTCPSharing::TRole::Client);
    client.ActivateClient();
    ASSERT_TRUE(waitFor([&] {
        const auto& lines = server.statusLines();
        return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("Wrong password from (127.0.0.1):", 0) == 0;
        });
    }));
    client.StopSharing();
}

// A client that does not read: the server queues at most its cap and drops the rest.
TEST_F(SharingTest, ReceiverDataForAClientThatDoesNotReadIsCappedAndDropped) {
    auto placeholder = connectPeer();
    const int working = testing::connectLoopback(port, 4096);
    ASSERT_GE(working, 0);
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    ASSERT_TRUE(testing::sendMessage(working, "CHI know the key", kDefaultSharingKey));
    ASSERT_TRUE(waitFor([&] { return server.proved(); }));
    const std::string chunk(65536, 'd');
    std::int64_t most = 0;
    for (int i = 0; i < 300; ++i) {
        server.OnReceiverData(reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size());
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        most = std::max(most, server.unsentBytes());
    }
    EXPECT_LE(most, TTCPSharing::kMaxUnsent);
    EXPECT_GT(server.droppedBytes(), 0u);
    const auto& lines = server.statusLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find(" does not read: data for it is dropped") != std::string::npos;
    }));
    ::close(working);
}

// With DNSLookup the server names its peers by host, looked up without stopping it.
TEST_F(SharingTest, PeerDescriptionsShowTheHostNameOnceLookedUp) {
    TSharingConfig c = server.config();
    c.dnsLookup = true;
    server.configure(c);
    ASSERT_TRUE(server.StartSharing(TTCPSharing::TRole::Server));
    port = server.serverPort();
    auto placeholder = connectPeer();
    auto working = connectPeer();
    ASSERT_TRUE(waitFor([&] { return server.linkUp(); }));
    ASSERT_TRUE(waitFor([&] {
        working->send("ERhello");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const std::string& line = server.statusLines().back();
        // "ERR: from localhost(127.0.0.1):..." where the host is known as localhost
        return line.rfind("ERR: from ", 0) == 0 && line.size() > 10 && line[10] != '(' &&
               line.find("(127.0.0.1):") != std::string::npos;
    }));
}

// The session's search through a server that is not there ends with the reason.
TEST_F(SharingTest, SearchForAServerThatIsNotThereSaysWhy) {
    server.StopSharing();
    struct TControl : TSharingControl {
        TTCPSharing s;
        void show() override {}
        void startClient() override { s.AttemptClient(); }
        bool linkUp() const override { return s.linkUp(); }
        bool latencyKnown() const override { return s.latencyKnown(); }
        bool clientConnected() const override { return false; }
        std::string statusText() const override { return s.atText(); }
        std::string searchFailure() const override { return s.clientFailure(); }
    } control;
    control.s.configure(clientConfig());
    control.s.install();
    testing::TTempDir tmp("telvor-sharing-search");
    TProfile profile((tmp / "telvor.ini").string());
    setProfile(&profile);
    profile.write(keys::CommConnectionType, int(cmInternetClient));
    test::TFakeView view;
    {
        TQtBridge bridge; // the client's sockets run inside the session's waits
        TSession session(profile, view);
        session.setSharing(&control);
        session.setSearchLimit(2500);
        EXPECT_FALSE(session.connect());
        EXPECT_EQ(session.lastError().rfind("The sharing server 127.0.0.1:" + std::to_string(port) +
                                                " refused the connection\n",
                                            0),
                  0u)
            << session.lastError();
    }
    control.s.uninstall();
    setProfile(nullptr);
}

} // namespace
} // namespace telvor
