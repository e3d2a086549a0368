// Two Telvor processes share one simulated receiver: `telvor-cli serve` on its pty, and
// telvor-cli commands as Internet Clients of that server, also while hostile peers flood the
// server with malformed packets, hold its slot without the password or flood the idle
// connection of the client's pair.
#include "server/Packetreader.h"
#include "server/Sharingpacket.h"
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Hostilepeer.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace {

using telvor::testing::eventually;
using telvor::testing::TRun;

int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

class ThroughServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        telvorsim::TSimOptions o;
        o.files = {{"field", 60000, 7}};
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        slave = sim->startPty();
        ASSERT_FALSE(slave.empty()) << sim->lastError();
        port = freePort();
        std::filesystem::create_directories(serverDir);
        std::filesystem::create_directories(clientDir);
    }
    void TearDown() override {
        if (server > 0) {
            ::kill(server, SIGTERM);
            int status = 0;
            ::waitpid(server, &status, 0);
        }
    }

    void startServer(const std::string& password = "") {
        std::vector<std::string> extra = {"--bind", "127.0.0.1"};
        if (!password.empty())
            extra.insert(extra.end(), {"--password", password});
        startServerWith(extra);
    }
    void startServerWith(const std::vector<std::string>& extra) {
        const std::string portText = std::to_string(port);
        server = ::fork();
        if (server == 0) {
            std::vector<const char*> argv = {TELVOR_CLI_EXE,  "--settings",  serverDir.c_str(),
                                             "--port",        slave.c_str(), "--listen-port",
                                             portText.c_str()};
            for (const auto& e : extra)
                argv.push_back(e.c_str());
            argv.push_back("serve");
            argv.push_back(nullptr);
            ::execv(TELVOR_CLI_EXE, const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        ASSERT_TRUE(
            eventually([&] { return log().find("Server started") != std::string::npos; }, 20000))
            << log();
    }
    std::string log() const {
        std::ifstream in(serverDir + "/telvor_server.log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    TRun client(const std::string& args, const std::string& password = "") {
        std::string line = std::string(TELVOR_CLI_EXE) + " --settings " + clientDir +
                           " --mode client --host 127.0.0.1 --tcp-port " + std::to_string(port);
        if (!password.empty())
            line += " --password '" + password + "'";
        return telvor::testing::runCommand(line + " " + args + " 2>&1");
    }
    std::string downloaded() const {
        std::ifstream in(clientDir + "/field.vxr", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int stopServer() {
        ::kill(server, SIGTERM);
        int status = 0;
        ::waitpid(server, &status, 0);
        server = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    telvor::testing::TTempDir tmp{"telvor-through-server"};
    const std::string serverDir = (tmp / "server").string();
    const std::string clientDir = (tmp / "client").string();
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::string slave;
    int port = 0;
    pid_t server = 0;
};

TEST_F(ThroughServerTest, MonitorAndDownloadThroughTheServerWithAPassword) {
    ASSERT_NO_FATAL_FAILURE(startServer("open sesame"));
    TRun wrong = client("send print,/par/rcv/model", "open says me");
    EXPECT_EQ(wrong.code, 1) << wrong.out;
    EXPECT_NE(wrong.out.find("Wrong password"), std::string::npos) << wrong.out;
    EXPECT_EQ(wrong.out.find("Stopped"), std::string::npos) << wrong.out;

    TRun model = client("send print,/par/rcv/model", "open sesame");
    EXPECT_EQ(model.code, 0) << model.out;
    EXPECT_NE(model.out.find("VORNA"), std::string::npos) << model.out;

    TRun monitor = client("monitor --json --seconds 3", "open sesame");
    EXPECT_EQ(monitor.code, 0) << monitor.out;
    EXPECT_NE(monitor.out.find("{"), std::string::npos) << monitor.out;

    TRun get = client("get field --dir " + clientDir, "open sesame");
    EXPECT_EQ(get.code, 0) << get.out;
    EXPECT_TRUE(downloaded() == sim->file("field")->data) << downloaded().size();
    // The server restored the receiver to its idle state after each client.
    EXPECT_EQ(stopServer(), 0);
    EXPECT_NE(log().find("Server stopped"), std::string::npos);
}

TEST_F(ThroughServerTest, HostileFloodDuringADownloadLeavesTheFileAndTheServerIntact) {
    ASSERT_NO_FATAL_FAILURE(startServer());
    std::atomic<bool> done{false};
    TRun get;
    std::thread good([&] {
        get = client("get field --dir " + clientDir);
        done = true;
    });
    // The good client holds both of its connections before the flood begins.
    ASSERT_TRUE(eventually(
        [&] {
            const std::string l = log();
            return l.find("Connected to") != l.rfind("Connected to");
        },
        20000));

    int packets = 0;
    std::mt19937 random(5);
    while (packets < 10000) {
        int fd = telvor::testing::connectLoopback(port);
        if (fd < 0)
            break;
        std::string burst;
        for (int i = 0; i < 500; ++i, ++packets) {
            telvor::TBytes p =
                telvor::buildPacket("WC" + std::string(random() % 300, 'x'), "PRAVL");
            switch (i % 4) {
            case 0: // oversized length
                p[0] = 0xFF;
                p[1] = 0xFF;
                break;
            case 1: // broken checksum
                p.back() ^= 0x55;
                break;
            case 2: // no marker
                p[4] = '?';
                break;
            default: // random bytes
                for (auto& b : p)
                    b = std::uint8_t(random());
            }
            burst.append(p.begin(), p.end());
        }
        // The server may already have refused us; what it does not read is lost, not harmful.
        (void)!::send(fd, burst.data(), burst.size(), MSG_NOSIGNAL);
        ::close(fd);
    }
    EXPECT_GE(packets, 10000);
    good.join();
    EXPECT_EQ(get.code, 0) << get.out;
    EXPECT_TRUE(downloaded() == sim->file("field")->data) << downloaded().size();
    // Still serving: another client gets its answer.
    TRun model = client("send print,/par/rcv/model");
    EXPECT_EQ(model.code, 0) << model.out << log();
    EXPECT_EQ(stopServer(), 0);
}

// A stranger opens a pair, reads the greeting and keeps it alive with empty packets (valid
// under every key): it is closed for showing no password, and the right client gets in.
TEST_F(ThroughServerTest, RightClientGetsInWhileAPairWithoutThePasswordHoldsTheSlot) {
    ASSERT_NO_FATAL_FAILURE(startServer("open sesame"));
    const int placeholder = telvor::testing::connectLoopback(port);
    ASSERT_TRUE(eventually([&] { return log().find("Connected to") != std::string::npos; }));
    const int working = telvor::testing::connectLoopback(port);
    ASSERT_GE(working, 0);
    std::atomic<bool> done{false};
    std::thread keep([&] {
        while (!done) {
            telvor::testing::sendMessage(placeholder, "", "x");
            telvor::testing::sendMessage(working, "", "x");
            ::usleep(300000);
        }
    });
    ::usleep(500000);
    TRun model = client("send print,/par/rcv/model", "open sesame");
    done = true;
    keep.join();
    EXPECT_EQ(model.code, 0) << model.out << log();
    EXPECT_NE(model.out.find("VORNA"), std::string::npos) << model.out;
    EXPECT_NE(log().find("No password shown by "), std::string::npos) << log();
    // All the stranger heard was the greeting: nobody's address.
    std::vector<std::string> heard;
    telvor::TPacketReader reader([&](const std::uint8_t* m, std::size_t n) {
        heard.emplace_back(reinterpret_cast<const char*>(m), n);
    });
    reader.setKey("open sesame");
    const std::string got = telvor::testing::readFor(working, 200);
    reader.feed(reinterpret_cast<const std::uint8_t*>(got.data()), got.size());
    for (const auto& m : heard)
        EXPECT_EQ(m.find("tried to connect"), std::string::npos) << m;
    ::close(placeholder);
    ::close(working);
    EXPECT_EQ(stopServer(), 0);
}

// The idle connection of the client's own pair carries a flood of headers that announce the
// largest packet: the download is whole and the server keeps serving.
TEST_F(ThroughServerTest, HeaderFloodOnTheIdleConnectionOfThePairDoesNotStopADownload) {
    ASSERT_NO_FATAL_FAILURE(startServer());
    telvor::testing::TFloodRelay relay(port);
    const int serverPort = port;
    port = relay.listenPort();
    TRun get = client("get field --dir " + clientDir);
    port = serverPort;
    EXPECT_EQ(get.code, 0) << get.out << log();
    EXPECT_TRUE(downloaded() == sim->file("field")->data) << downloaded().size();
    EXPECT_GT(relay.floodBytes.load(), 100000u);
    EXPECT_EQ(stopServer(), 0);
}

TEST_F(ThroughServerTest, ServeRefusesToStartWithoutAPasswordUnlessOnLoopbackOrTold) {
    const std::string base = std::string(TELVOR_CLI_EXE) + " --settings " + serverDir + " --port " +
                             slave + " serve --listen-port " + std::to_string(port);
    TRun open = telvor::testing::runCommand(base + " --bind 0.0.0.0 2>&1");
    EXPECT_EQ(open.code, 2) << open.out;
    EXPECT_NE(open.out.find("--no-password"), std::string::npos) << open.out;
    TRun everywhere = telvor::testing::runCommand(base + " 2>&1");
    EXPECT_EQ(everywhere.code, 2) << everywhere.out;
    // Told so, it starts (and warns in its log); SIGTERM ends it.
    ASSERT_NO_FATAL_FAILURE(startServerWith({"--bind", "0.0.0.0", "--no-password"}));
    EXPECT_NE(log().find("No password: any client that reaches this port controls the receiver"),
              std::string::npos)
        << log();
    EXPECT_EQ(stopServer(), 0);
}

} // namespace
