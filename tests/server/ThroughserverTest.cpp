// Two Telvor processes share one simulated receiver: `telvor-cli serve` on its pty, and
// telvor-cli commands as Internet Clients of that server, also while a hostile peer floods
// the server with malformed and oversized packets.
#include "server/Sharingpacket.h"
#include "sim/Receiver.h"
#include "support/Eventually.h"
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

int connectTo(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
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
        const std::string portText = std::to_string(port);
        server = ::fork();
        if (server == 0) {
            std::vector<const char*> argv = {TELVOR_CLI_EXE,   "--settings",  serverDir.c_str(),
                                             "--port",         slave.c_str(), "--listen-port",
                                             portText.c_str(), "--bind",      "127.0.0.1"};
            if (!password.empty()) {
                argv.push_back("--password");
                argv.push_back(password.c_str());
            }
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
        int fd = connectTo(port);
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

} // namespace
