// telvor-cli as a user runs it: exit codes, the identity it prints, one command's reply.
#include "sim/Receiver.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using telvor::testing::TRun;

TRun cli(const std::string& args) {
    return telvor::testing::runCommand(std::string(TELVOR_CLI_EXE) + " " + args + " 2>/dev/null");
}

// Standard error alone.
TRun cliErr(const std::string& args) {
    return telvor::testing::runCommand(std::string(TELVOR_CLI_EXE) + " " + args +
                                       " 2>&1 >/dev/null");
}

bool balanced(const std::string& v) {
    int depth = 0;
    for (char c : v)
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
    return depth == 0;
}

class CliTest : public ::testing::Test {
protected:
    std::string settings() const { return "--settings " + dir.string(); }
    telvor::testing::TTempDir tmp{"telvor-cli"};
    const fs::path dir = tmp.path;
};

TEST_F(CliTest, ConnectPrintsTheIdentity) {
    telvorsim::TSimOptions options;
    options.baud = 57600;
    telvorsim::TSimReceiver sim(options);
    std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    // The receiver runs at 57600; the option asks for it, so no search is needed.
    TRun r = cli(settings() + " --port " + slave + " --baud 57600 connect");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("Model:    VORNA\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Serial:   SIM0421873\n"), std::string::npos);
    EXPECT_NE(r.out.find("Firmware: 3.1\n"), std::string::npos);
    EXPECT_NE(r.out.find("Speed:    57600\n"), std::string::npos);
    EXPECT_NE(r.out.find("(receiver port /dev/ser/a)"), std::string::npos);

    r = cli(settings() + " --port " + slave + " --baud 57600 send print,/par/pwr/ext");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "12.42\n");
    r = cli(settings() + " --port " + slave + " --baud 57600 send print,/par/no/such");
    EXPECT_EQ(r.code, 1);
}

TEST_F(CliTest, ExitCodes) {
    EXPECT_EQ(cli("").code, 2);
    EXPECT_EQ(cli("frobnicate").code, 2);
    EXPECT_EQ(cli("send").code, 2);
    EXPECT_EQ(cli("--baud fast connect").code, 2);
    EXPECT_EQ(cli("--mode sideways connect").code, 2);
    EXPECT_EQ(cli("--settings /nonexistent/telvor connect").code, 2);
    EXPECT_EQ(cli("--help").code, 0);
    EXPECT_EQ(cli(settings() + " --port /dev/telvor-no-such-port connect").code, 1);
    TRun ports = cli("ports");
    EXPECT_EQ(ports.code, 0);
    EXPECT_NE(ports.out.find("ETHR\n"), std::string::npos);
}

// A virtual port outside /dev (what socat makes) is a serial port; paths that are none say so.
TEST_F(CliTest, PortPaths) {
    telvorsim::TSimReceiver sim{telvorsim::TSimOptions{}};
    const std::string link = (dir / "ttyV0").string();
    ASSERT_FALSE(sim.startPty(link).empty());
    TRun r = cli(settings() + " --port " + link + " send print,/par/rcv/model");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "VORNA\n");

    std::FILE* f = std::fopen((dir / "plain").c_str(), "w");
    std::fclose(f);
    r = cliErr(settings() + " --port " + (dir / "plain").string() + " connect");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find((dir / "plain").string() + " is not a character device"), r.out.npos)
        << r.out;
    r = cliErr(settings() + " --port /dev/null connect");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.rfind("/dev/null is not a serial port\n", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("SetCommState"), std::string::npos) << r.out;
    r = cliErr(settings() + " --port " + (dir / "gone").string() + " connect");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Open " + (dir / "gone").string() + " port failed"), r.out.npos) << r.out;
}

// The receiver cuts a long value into replies of about 1 KB; send prints all of them.
TEST_F(CliTest, SendPrintsTheWholeOfALongReply) {
    telvorsim::TSimReceiver sim{telvorsim::TSimOptions{}};
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    TRun r = cli(settings() + " --port " + slave + " send print,/par");
    EXPECT_EQ(r.code, 0);
    ASSERT_GT(r.out.size(), 1100u) << "not long enough to come in pieces";
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
    EXPECT_TRUE(balanced(r.out));
    EXPECT_NE(r.out.find("VORNA"), r.out.npos);
}

// `monitor | head -3`: the closed pipe ends the monitor through its clean disconnect, which
// gives the receiver its elevation mask back.
TEST_F(CliTest, ClosedOutputEndsTheMonitorCleanly) {
    telvorsim::TSimReceiver sim{telvorsim::TSimOptions{}};
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    const std::string base = settings() + " --port " + slave;
    const TRun before = cli(base + " send print,/par/out/elm/cur/term");
    ASSERT_EQ(before.code, 0);
    ASSERT_NE(before.out, "-90\n");

    // bash: the exit code of the pipe is telvor-cli's.
    TRun r =
        telvor::testing::runCommand("bash -c 'set -o pipefail; " + std::string(TELVOR_CLI_EXE) +
                                    " " + base + " monitor --json 2>/dev/null | head -3'");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    EXPECT_EQ(r.code, 0) << "telvor-cli ended on its own, not killed by SIGPIPE";
    EXPECT_EQ(cli(base + " send print,/par/out/elm/cur/term").out, before.out);
}

// A receiver that hangs up is reported at once as the link's loss, not after 20 s of silence.
TEST_F(CliTest, HangUpEndsTheMonitorAtOnce) {
    telvorsim::TSimReceiver sim{telvorsim::TSimOptions{}};
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    std::thread hangUp([&] {
        std::this_thread::sleep_for(std::chrono::seconds(4));
        sim.stop();
    });
    const auto start = std::chrono::steady_clock::now();
    TRun r = cliErr(settings() + " --port " + slave + " monitor --json");
    const auto took = std::chrono::steady_clock::now() - start;
    hangUp.join();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Link lost: "), r.out.npos) << r.out;
    EXPECT_LT(took, std::chrono::seconds(12));
}

// Ctrl-C during a search that cannot succeed stops it at once.
TEST_F(CliTest, InterruptStopsTheSearch) {
    telvorsim::TSimOptions options;
    options.faults.ignore = ".*"; // a receiver that never answers
    telvorsim::TSimReceiver sim(options);
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    const auto start = std::chrono::steady_clock::now();
    TRun r = telvor::testing::runCommand(
        std::string(TELVOR_CLI_EXE) + " " + settings() + " --port " + slave +
        " connect 2>&1 >/dev/null & sleep 2; kill -INT $!; wait $!");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Stopped\n"), r.out.npos) << r.out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// A receiver that cannot be reached says why, above the search's own last words.
TEST_F(CliTest, UnreachableEthernetReceiverSaysWhy) {
    TRun r = cliErr(settings() + " --port ETHR --host 127.0.0.1 --tcp-port 1 connect");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Error: Connecting to the server failed\nConnection refused"), r.out.npos)
        << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 20), "Can't find receiver\n") << r.out;
}

// Usage errors say what is valid; a folder without settings names no port and lists them.
TEST_F(CliTest, UsageTextsNameTheValidValues) {
    TRun r = cliErr("--baud 0 connect");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.out.find("4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800"), r.out.npos);
    r = cliErr("--tcp-port 99999 connect");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.out.find("1 to 65535"), r.out.npos);
    r = cliErr("monitor --seconds 0");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.out.find("whole seconds"), r.out.npos);
    EXPECT_EQ(cliErr("connect --json").code, 2) << "an option of another command";

    r = cliErr(settings() + " connect");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("No port given"), r.out.npos) << r.out;
    EXPECT_NE(r.out.find("ETHR"), r.out.npos) << r.out;
}

} // namespace
