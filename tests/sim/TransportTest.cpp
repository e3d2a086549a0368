// The simulated receiver on its real transports: a pty with its baud rate, the Ethernet login,
// a socket pair, and the telvor-sim executable.
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Simclient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <thread>

extern char** environ;

using namespace telvorsim;
using simtest::TClient;
using telvor::testing::eventually;

namespace {

std::string tempLink(const char* tag) {
    return "/tmp/telvor-simtest-" + std::to_string(::getpid()) + "-" + tag;
}

void setSpeed(int fd, speed_t speed) {
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    ::tcsetattr(fd, TCSANOW, &t);
}

int openPort(const std::string& path, speed_t speed) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0)
        setSpeed(fd, speed);
    return fd;
}

// Changes the client's rate and forgets whatever was read at the old one.
void switchClient(TClient& c, speed_t speed) {
    setSpeed(c.fd(), speed);
    ::tcflush(c.fd(), TCIFLUSH);
    c.drain(50);
    ::tcflush(c.fd(), TCIFLUSH);
    c.reset();
}

int connectTcp(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool has(const TClient& c, const char* text) {
    return c.raw.find(text) != std::string::npos;
}

TSimOptions fast() {
    TSimOptions o;
    o.epochWallMs = 20;
    return o;
}

} // namespace

TEST(SimPty, WrongBaudRateGivesNoMessageUntilBothAgree) {
    TSimReceiver sim(fast());
    std::string link = tempLink("baud");
    ASSERT_FALSE(sim.startPty(link).empty()) << sim.lastError();
    TClient c(openPort(link, B115200));
    ASSERT_GE(c.fd(), 0);
    auto r = c.ask("%%em,,vxr{/RT,/PG,/EE}");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->substr(0, 2), "RE");
    ASSERT_TRUE(c.waitFor([&] { return c.got.count("||") >= 3; }, 5000));

    switchClient(c, B9600);
    c.drain(400);
    EXPECT_TRUE(c.got.messages.empty());
    EXPECT_FALSE(c.raw.empty());                        // the line is not quiet, it is garbage
    EXPECT_FALSE(c.ask("%%print,/par/rcv/model", 400)); // nor does it understand us

    switchClient(c, B115200);
    EXPECT_TRUE(c.waitFor([&] { return c.got.count("||") >= 2; }, 5000));
    r = c.ask("%%print,/par/rcv/model");
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "RE008%%VORNA\n");
    EXPECT_EQ(c.got.garbage, 0u);
}

TEST(SimPty, PortRateFollowsTheCommandAfterItsReply) {
    TSimReceiver sim(fast());
    std::string link = tempLink("rate");
    ASSERT_FALSE(sim.startPty(link).empty()) << sim.lastError();
    TClient c(openPort(link, B115200));
    auto r = c.ask("%%set,/par/cur/term/rate,9600");
    ASSERT_TRUE(r); // the reply itself still comes at the old rate
    EXPECT_EQ(*r, "RE003%%\n");
    EXPECT_TRUE(eventually([&] { return sim.rate() == 9600; }));

    switchClient(c, B9600);
    r = c.ask("%%print,cur/term/rate");
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "RE007%%9600\n");
    // Disconnecting puts the port back as Telvor does.
    EXPECT_TRUE(c.command("set,cur/term/rate,115200"));
    EXPECT_TRUE(eventually([&] { return sim.rate() == 115200; }));
}

TEST(SimPty, RateChangeTakesEffectWhenThePortClosesBeforeTheReply) {
    TSimOptions o = fast();
    o.faults.replyDelayMs = 3000; // the reply is still waiting when the port closes
    TSimReceiver sim(o);
    std::string link = tempLink("rategone");
    ASSERT_FALSE(sim.startPty(link).empty()) << sim.lastError();
    {
        TClient c(openPort(link, B115200));
        ASSERT_TRUE(c.command("%%set,/par/cur/term/rate,57600"));
        auto seen = [&] {
            for (const auto& line : sim.commands())
                if (line.find("rate,57600") != std::string::npos)
                    return true;
            return false;
        };
        ASSERT_TRUE(eventually(seen));
        EXPECT_EQ(sim.rate(), 115200u);
    }
    EXPECT_TRUE(eventually([&] { return sim.rate() == 57600; }));
}

TEST(SimPty, LinkIsOursAndRemovedOnStop) {
    std::string link = tempLink("link");
    {
        std::ofstream(link) << "a file";
        TSimReceiver refused(fast());
        EXPECT_TRUE(refused.startPty(link).empty());
        EXPECT_NE(refused.lastError().find("not a symbolic link"), std::string::npos);
        ::unlink(link.c_str());
    }
    TSimReceiver sim(fast());
    std::string slave = sim.startPty(link);
    ASSERT_FALSE(slave.empty());
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(slave, target);
    EXPECT_TRUE(sim.startPty(link + "2").empty()); // one transport per receiver
    sim.stop();
    struct stat st;
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

TEST(SimTcp, LoginDialogueInEachBranch) {
    TSimOptions o = fast();
    o.password = "secret";
    TSimReceiver sim(o);
    int port = sim.startTcp(0);
    ASSERT_GT(port, 0) << sim.lastError();

    TClient a(connectTcp(port));
    ASSERT_TRUE(a.waitFor([&] { return has(a, "receiver ready") && has(a, "login:"); }, 3000));
    a.write("\r\n");
    ASSERT_TRUE(a.waitFor([&] { return has(a, "Password:"); }, 3000));
    EXPECT_FALSE(sim.loggedIn());
    a.write("secret\r\n");
    ASSERT_TRUE(a.waitFor([&] { return a.got.count("RE") > 0; }, 3000));
    EXPECT_TRUE(sim.loggedIn());
    auto r = a.ask("%%print,/cur/term");
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "RE00D%%/dev/tcp/a\n");
    EXPECT_EQ(a.ask("%%print,cur/term/rate")->substr(0, 2), "ER"); // no baud rate on Ethernet

    // A second client while the first is connected is turned away.
    TClient b(connectTcp(port));
    EXPECT_TRUE(b.waitFor([&] { return b.closed; }, 8000)); // hung up after a moment
    EXPECT_TRUE(has(b, "receiver ready"));
    EXPECT_TRUE(has(b, "connection refused"));
    EXPECT_TRUE(a.ask("%%print,/par/rcv/model")); // the first one is unharmed

    ::shutdown(a.fd(), SHUT_RDWR);
    ASSERT_TRUE(eventually([&] { return !sim.peerConnected(); }));
    TClient c(connectTcp(port));
    ASSERT_TRUE(c.waitFor([&] { return has(c, "login:"); }, 3000));
    c.write("\r\n");
    ASSERT_TRUE(c.waitFor([&] { return has(c, "Password:"); }, 3000));
    c.write("guess\r\n");
    EXPECT_TRUE(c.waitFor([&] { return has(c, "Login incorrect"); }, 3000));
    EXPECT_EQ(c.got.count("RE"), 0u);
    EXPECT_FALSE(sim.loggedIn());
    // Commands before a login are not commands.
    EXPECT_FALSE(c.ask("%%print,/par/rcv/model", 300));
}

TEST(SimSocketpair, ResetIsSilentThenTheReceiverAnswersAgain) {
    TSimOptions o = fast();
    o.resetSilenceMs = 1500;
    TSimReceiver sim(o);
    TClient c(sim.startSocketpair());
    ASSERT_GE(c.fd(), 0);
    ASSERT_TRUE(c.ask("em,,vxr/RT"));
    ASSERT_TRUE(c.waitFor([&] { return c.got.count("~~") >= 2; }, 3000));
    auto r = c.ask("%%set,reset,yes");
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "RE003%%\n");
    EXPECT_TRUE(sim.restarting());
    EXPECT_FALSE(c.ask("%%print,/par/rcv/model", 300));
    bool back = false;
    for (int k = 25; k > 0 && !back; --k) {
        auto w = c.ask("%Wait_" + std::to_string(k) + "%", 400);
        back = w && *w == "RE00A%Wait_" + std::to_string(k) + "%\n";
    }
    EXPECT_TRUE(back);
    EXPECT_EQ(sim.restarts(), 1);
    EXPECT_TRUE(sim.enabledMessages().empty());
    std::size_t before = c.got.count("~~");
    c.drain(200);
    EXPECT_EQ(c.got.count("~~"), before);
}

TEST(SimSocketpair, FaultsAtRunTime) {
    TSimOptions o = fast();
    o.faults.corrupt = 0.02;
    TSimReceiver sim(o);
    TClient c(sim.startSocketpair());
    // Without "rM", which the splitter never takes (a lower-case id), every skipped byte is
    // one the fault damaged.
    c.command("em,,def:{1}&&em,,vxr/EE:{1}&&dm,,vxr/rM");
    c.drain(600);
    EXPECT_GT(c.got.garbage, 0u);
    EXPECT_GT(c.got.messages.size(), 0u); // most of the stream survives

    TFaults delayed;
    delayed.replyDelayMs = 200;
    sim.setFaults(delayed);
    c.drain(300); // bytes corrupted before the change may still be on their way
    c.reset();
    auto r = c.ask("%%print,/par/rcv/model", 3000);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "RE008%%VORNA\n");
    EXPECT_EQ(c.got.garbage, 0u);

    TFaults silent;
    silent.silentAfterMs = 0;
    sim.setFaults(silent);
    c.drain(100);
    std::size_t seen = c.raw.size();
    c.drain(300);
    EXPECT_EQ(c.raw.size(), seen);
    EXPECT_FALSE(c.ask("%%print,/par/rcv/model", 300));
}

TEST(SimSocketpair, EventsAndQueries) {
    TSimReceiver sim(fast());
    TClient c(sim.startSocketpair());
    ASSERT_TRUE(c.ask("%%em,,vxr{/RT,/XA,/XB,/EE}"));
    EXPECT_EQ(sim.enabledMessages(), (std::vector<std::string>{"RT", "XA", "XB", "EE"}));
    EXPECT_EQ(sim.param("/par/rcv/model").value_or(""), "VORNA");
    EXPECT_EQ(sim.param("cur/term/rate").value_or(""), "115200");
    EXPECT_EQ(sim.portName(), "/dev/ser/a");
    sim.triggerEvent('B');
    EXPECT_TRUE(c.waitFor([&] { return c.got.count("XB") == 1; }, 3000));
    EXPECT_EQ(c.got.count("XA"), 0u);
    EXPECT_EQ(sim.commands().back(), "%%em,,vxr{/RT,/XA,/XB,/EE}");
    EXPECT_GT(sim.epochs(), 0u);
}

TEST(SimExecutable, ServesAPtyAndATcpPortAndStopsCleanly) {
    std::string exe = TELVOR_SIM_EXE;
    std::FILE* help = ::popen((exe + " --help").c_str(), "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, help))
        text += buffer;
    EXPECT_EQ(::pclose(help), 0);
    for (const char* option : {"--pty",
                               "--tcp",
                               "--bind",
                               "--baud",
                               "--default-baud",
                               "--password",
                               "--model",
                               "--serial",
                               "--id",
                               "--firmware",
                               "--port-name",
                               "--echo-off",
                               "--reset-silence-ms",
                               "--start",
                               "--lat",
                               "--lon",
                               "--height",
                               "--seed",
                               "--epoch-ms",
                               "--step-ms",
                               "--solution-cycle",
                               "--corrupt",
                               "--drop",
                               "--delay-replies",
                               "--silent-after",
                               "--refuse",
                               "--ignore",
                               "--verbose",
                               "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;

    auto run = [&](std::vector<std::string> args, pid_t& pid) -> std::FILE* {
        int out[2];
        if (::pipe(out) != 0)
            return nullptr;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), exe);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int rc = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) {
            ::close(out[0]);
            return nullptr;
        }
        return ::fdopen(out[0], "r");
    };
    auto stop = [](pid_t pid) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };

    std::string link = tempLink("exe");
    pid_t pid = 0;
    std::FILE* out = run({"--pty", link, "--model", "KESTA", "--epoch-ms", "50"}, pid);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(std::fgets(buffer, sizeof buffer, out));
    char slave[256], path[256];
    ASSERT_EQ(std::sscanf(buffer, "ready pty %255s %255s", slave, path), 2) << buffer;
    EXPECT_EQ(link, path);
    {
        TClient c(openPort(link, B115200));
        auto r = c.ask("%%print,/par/rcv/model");
        ASSERT_TRUE(r);
        EXPECT_EQ(*r, "RE008%%KESTA\n");
    }
    EXPECT_EQ(stop(pid), 0);
    std::fclose(out);
    struct stat st;
    EXPECT_NE(::lstat(link.c_str(), &st), 0);

    out = run({"--tcp", "0", "--password", "secret"}, pid);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(std::fgets(buffer, sizeof buffer, out));
    int port = 0;
    ASSERT_EQ(std::sscanf(buffer, "ready tcp %d", &port), 1) << buffer;
    {
        TClient c(connectTcp(port));
        EXPECT_TRUE(c.waitFor([&] { return has(c, "receiver ready") && has(c, "login:"); }, 3000));
    }
    EXPECT_EQ(stop(pid), 0);
    std::fclose(out);
}
