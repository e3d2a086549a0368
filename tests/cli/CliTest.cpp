// telvor-cli as a user runs it: exit codes, the identity it prints, one command's reply.
#include "sim/Receiver.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using telvor::testing::TRun;

TRun cli(const std::string& args) {
    return telvor::testing::runCommand(std::string(TELVOR_CLI_EXE) + " " + args + " 2>/dev/null");
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

} // namespace
