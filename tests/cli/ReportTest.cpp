// telvor-cli report against telvor-sim: the memo, the proposed report name, and the exit
// codes of a failed write and of contradicting options.
#include "sim/Receiver.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using telvor::testing::TRun;

TRun cli(const std::string& args) {
    return telvor::testing::runCommand(std::string(TELVOR_CLI_EXE) + " " + args + " 2>&1");
}

} // namespace

TEST(CliReport, MemoFilesAndExitCodes) {
    telvor::testing::TTempDir tmp{"telvor-clireport"};
    telvorsim::TSimOptions options;
    options.omit = {"/par/pwr/ext"};
    telvorsim::TSimReceiver sim(options);
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    const std::string base = "--settings " + tmp.path.string() + " --port " + slave + " report";

    TRun r = cli(base);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out.rfind("Receiver model:\tVORNA\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nPower supply (V):\t<unknown>\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nWait states:\t2\n"), std::string::npos);

    r = cli(base + " --report " + tmp.path.string());
    const fs::path named = tmp.path / "r_421873.txt";
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "Saved to " + named.string() + "\n");
    EXPECT_TRUE(fs::exists(named));

    // A path ending in "/" is a folder, made when missing; any other path is the file.
    const fs::path folder = tmp.path / "reports";
    r = cli(base + " --report " + folder.string() + "/");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(fs::is_regular_file(folder / "r_421873.txt")) << r.out;
    r = cli(base + " --report " + (tmp.path / "mine.txt").string());
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(fs::is_regular_file(tmp.path / "mine.txt"));
    std::FILE* f = std::fopen((tmp.path / "plain").c_str(), "w");
    std::fclose(f);
    r = cli(base + " --report " + (tmp.path / "plain" / "sub").string() + "/");
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_EQ(r.out.rfind("Unable to create " + (tmp.path / "plain" / "sub").string() + "/", 0), 0u)
        << r.out;

    const fs::path lost = tmp.path / "gone" / "tree.txt";
    r = cli(base + " --save " + lost.string());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "Unable to create " + lost.string() + "\n");

    EXPECT_EQ(cli(base + " --save a --report b").code, 2);
}
