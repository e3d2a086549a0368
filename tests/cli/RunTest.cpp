// `telvor-cli run` and `telvor-cli terminal` against the simulated receiver on a pty.
#include "sim/Receiver.h"
#include "support/Tempdir.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

class CliRun : public ::testing::Test {
protected:
    void SetUp() override {
        slave_ = sim_.startPty();
        ASSERT_FALSE(slave_.empty());
    }
    // Runs telvor-cli with `args` (and `input` on its standard input); its outputs are kept.
    int cli(const std::string& args, const std::string& input = "") {
        std::ofstream(tmp_ / "in.txt") << input;
        const std::string command =
            std::string(TELVOR_CLI_EXE) + " --settings " + tmp_.path.string() + " --port " +
            slave_ + " " + args + " < " + (tmp_ / "in.txt").string() + " > " +
            (tmp_ / "out.txt").string() + " 2> " + (tmp_ / "err.txt").string();
        const int status = std::system(command.c_str());
        out = tmp_.read("out.txt");
        err = tmp_.read("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void script(const std::string& name, const std::string& text) {
        std::ofstream(tmp_ / name) << text;
    }

    telvorsim::TSimReceiver sim_{telvorsim::TSimOptions{}};
    std::string slave_;
    telvor::testing::TTempDir tmp_{"telvor-cli-run"};
    std::string out, err;
};

TEST_F(CliRun, AScriptQueriesBranchesChangesAndWaits) {
    script("setmask.vxc", "@echo off\n"
                          "# the model decides\n"
                          "%/par/rcv/model%print,/par/rcv/model\n"
                          "@goto Is@0\n"
                          "@echo unknown model @0\n"
                          "@stop\n"
                          "@:IsVORNA\n"
                          "@echo model @0\n"
                          "@default @1 15\n"
                          "%%set,/par/pos/elm,@1\n"
                          "@sleep 300\n"
                          "%%print,/par/pos/elm\n"
                          "@call check,@0\n");
    script("check.vxc", "@echo off\n@echo mask now @1\n");
    ASSERT_EQ(cli("run " + (tmp_ / "setmask.vxc").string() + " 25"), 0) << out << err;
    EXPECT_NE(out.find(">model VORNA\n"), std::string::npos) << out;
    EXPECT_NE(out.find(">mask now 25\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("unknown model"), std::string::npos) << out;
    // The receiver's replies are on the output as they came.
    EXPECT_NE(out.find("RE"), std::string::npos) << out;
    EXPECT_EQ(err.find("Receiver timeout"), std::string::npos) << err;
    ASSERT_EQ(cli("send print,/par/pos/elm"), 0);
    EXPECT_EQ(out, "25\n");

    // Without the argument the default applies.
    ASSERT_EQ(cli("run " + (tmp_ / "setmask.vxc").string()), 0) << out << err;
    EXPECT_NE(out.find(">mask now 15\n"), std::string::npos) << out;
}

TEST_F(CliRun, AnErrorReplyStopsTheScriptWithExitCode1) {
    script("bad.vxc", "@echo off\n%%set,/par/pos/elm,400\n@echo not here\n");
    EXPECT_EQ(cli("run " + (tmp_ / "bad.vxc").string()), 1);
    EXPECT_NE(out.find(">Stop: An error reply from the receiver\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("not here"), std::string::npos);
    EXPECT_EQ(err, "An error reply from the receiver\n");

    script("raw.vxc", "@echo off\n@stoponerrors off\n@send \"print,/par/rcv/model\\r\\n\"\n"
                      "@sleep 300\n@send \"AT\\r\\n\"\n@sleep 300\n");
    EXPECT_EQ(cli("run " + (tmp_ / "raw.vxc").string()), 0) << err;
    // Raw text without a checksum is still a command; "AT" is none.
    EXPECT_NE(out.find("VORNA"), std::string::npos) << out;
    EXPECT_NE(out.find("ER"), std::string::npos) << out;

    EXPECT_EQ(cli("run " + (tmp_ / "missing.vxc").string()), 1);
    EXPECT_NE(err.find("Unable to open"), std::string::npos);
    EXPECT_EQ(cli("run"), 2);
}

// A typo in a surveyor's setup script cannot pass for success: the run goes on as written,
// each passed-over line is on standard error, and the exit code is 1.
TEST_F(CliRun, MisspeltDirectivesAndAMissingCallExitWith1) {
    script("setup.vxc", "@echo off\n@sleap 100\n@call nothere\n%%set,/par/pos/elm,12\n"
                        "@echo applied\n");
    EXPECT_EQ(cli("run " + (tmp_ / "setup.vxc").string()), 1) << out << err;
    EXPECT_NE(out.find(">applied\n"), std::string::npos) << out;
    EXPECT_EQ(err, "Unknown directive in setup.vxc: @sleap 100\nUnable to open nothere.vxc\n");
    ASSERT_EQ(cli("send print,/par/pos/elm"), 0);
    EXPECT_EQ(out, "12\n");
}

TEST_F(CliRun, TerminalSendsLinesUntilTheInputEnds) {
    script("t.vxc", "@echo off\n%%print,/par/pos/elm\n@echo elm=@0\n");
    EXPECT_EQ(cli("terminal", "%%print,/par/rcv/model\n@" + (tmp_ / "t.vxc").string() + "\n"), 0)
        << err;
    EXPECT_NE(out.find("%%VORNA"), std::string::npos) << out;
    EXPECT_NE(out.find(">elm=5\n"), std::string::npos) << out;
    // Disconnected cleanly: the receiver answers the next connect as before.
    EXPECT_EQ(cli("send print,/par/rcv/model"), 0);
    EXPECT_EQ(out, "VORNA\n");
}

} // namespace
