// telvor-cli ls, get and rm against telvor-sim on a pty: what they print, the files they
// write, and their exit codes.
#include "sim/Receiver.h"
#include "support/Clipty.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

using telvor::testing::TRun;

class CliFilesTest : public telvor::testing::TCliPtyTest {
protected:
    CliFilesTest() : TCliPtyTest("telvor-cli-files") {}
    void SetUp() override {
        telvorsim::TSimOptions o;
        o.epochWallMs = 600000;
        o.files = {{"day one", 9000, 1}, {"b", 1300, 2}};
        startReceiver(o);
    }
    std::string file(const std::string& name) { return sim->file(name)->data; }
};

} // namespace

TEST_F(CliFilesTest, LsListsFilesAndMemory) {
    TRun r = run("ls");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("day one  9000  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("b        1300  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Total memory: 33030144 bytes\n"), std::string::npos);
    EXPECT_NE(r.out.find("Free memory: 33017856 bytes\n"), std::string::npos); // 5 + 1 blocks
}

TEST_F(CliFilesTest, GetTriesEveryFileAndFailsForTheMissingOne) {
    TRun r = run("get \"day one\" nope b --dir " + tmp.path.string());
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("nope: Error query file size: File not found\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(tmp.read("day one.vxr"), file("day one"));
    EXPECT_EQ(tmp.read("b.vxr"), file("b"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "nope.vxr"));
}

TEST_F(CliFilesTest, GetOverwritesOrWithAppendResumes) {
    std::ofstream(tmp / "b.vxr", std::ios::binary) << std::string(5000, 'x');
    TRun r = run("get b --dir " + tmp.path.string());
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(tmp.read("b.vxr"), file("b"));

    std::ofstream(tmp / "day one.vxr", std::ios::binary) << file("day one").substr(0, 2500);
    r = run("get \"day one\" --append --block-size 1024 --dir " + tmp.path.string());
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(tmp.read("day one.vxr"), file("day one"));
    auto commands = sim->commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "%%get,\"/log/day one\":{300,1024},2500"),
              commands.end());
    r = run("get \"day one\" --append --dir " + tmp.path.string());
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Nothing to download for day one"), std::string::npos);
    EXPECT_EQ(run("get b --block-size 700").code, 2);
}

TEST_F(CliFilesTest, RmDeletesAndStopsAtTheFirstFailure) {
    TRun r = run("rm b nope \"day one\"");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Can't delete nope"), std::string::npos) << r.out;
    EXPECT_EQ(sim->fileNames(), std::vector<std::string>{"day one"});
    EXPECT_EQ(run("rm \"day one\"").code, 0);
    EXPECT_TRUE(sim->fileNames().empty());
    EXPECT_NE(run("ls").out.find("File list is empty"), std::string::npos);
}

TEST_F(CliFilesTest, RmKeepsTheFileBeingRecordedAndSaysSoWithItsExitCode) {
    ASSERT_EQ(run("record start rec --interval 1").code, 0);
    TRun r = run("rm rec b");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("'rec' is the current log file; kept (--force removes it)"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(sim->file("rec"));
    EXPECT_FALSE(sim->file("b")); // the others still go
    EXPECT_EQ(run("rm rec --force").code, 0);
    EXPECT_FALSE(sim->file("rec"));
}

TEST_F(CliFilesTest, InterruptedGetKeepsThePartialFileForAppend) {
    telvorsim::TSimOptions o;
    o.epochWallMs = 600000;
    o.files = {{"big", 200000, 4}}; // about 17 s at 115200 baud
    telvorsim::TSimReceiver big(o);
    const std::string port = big.startPty();
    ASSERT_FALSE(port.empty());
    const std::string log = (tmp / "get.log").string();
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(log.c_str(), "w", stderr);
        ::execl(TELVOR_CLI_EXE, TELVOR_CLI_EXE, "--settings", tmp.path.c_str(), "--port",
                port.c_str(), "get", "big", "--dir", tmp.path.c_str(), nullptr);
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    auto size = [&] {
        std::error_code ec;
        auto n = std::filesystem::file_size(tmp / "big.vxr", ec);
        return ec ? 0 : n;
    };
    for (int i = 0; i < 100 && size() < 20000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(tmp.read("get.log").find("big: Aborted by user!"), std::string::npos)
        << tmp.read("get.log");
    const std::string part = tmp.read("big.vxr");
    const std::string whole = big.file("big")->data;
    ASSERT_GE(part.size(), 20000u);
    ASSERT_LT(part.size(), whole.size());
    EXPECT_EQ(part, whole.substr(0, part.size()));
}

TEST_F(CliFilesTest, FsInitAsksForConsentThenErasesAndReports) {
    TRun refused = run("fs-init");
    EXPECT_EQ(refused.code, 2) << refused.out;
    EXPECT_TRUE(sim->file("b"));
    TRun r = run("fs-init --yes");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("250 of 250\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Free  memory:\t33030144 bytes\n"), std::string::npos) << r.out;
    EXPECT_FALSE(sim->file("b"));
    const auto saved = tmp.path / "fs.txt";
    TRun report = run("fs-report --save " + saved.string());
    EXPECT_EQ(report.code, 0) << report.out;
    EXPECT_NE(tmp.read("fs.txt").find("Writing fatal errors:   0\n"), std::string::npos);
}
