// telvor-cli get with a parallel source, as a user runs it on a machine without a parallel
// port: the port's own reason and exit code 1; --print where no raw port can carry it is a
// usage error.
#include "sim/Receiver.h"
#include "support/Clipty.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using telvor::testing::TRun;

class CliParallelGet : public telvor::testing::TCliPtyTest {
protected:
    CliParallelGet() : TCliPtyTest("telvor-cli-lpt") {}
    void SetUp() override {
        if (std::filesystem::exists("/proc/sys/dev/parport"))
            GTEST_SKIP() << "this machine has parallel ports";
        telvorsim::TSimOptions o;
        o.epochWallMs = 600000;
        o.files = {{"day one", 3000, 1}};
        startReceiver(o);
    }
};

} // namespace

TEST_F(CliParallelGet, AMissingSourcePortSaysWhyAndLeavesNoFile) {
    TRun r = run("get \"day one\" --source LPT1 --dir " + tmp.path.string());
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("day one: LPT: Base port address not detected"), std::string::npos)
        << r.out;
    EXPECT_FALSE(std::filesystem::exists(tmp / "day one.vxr"));
}

TEST_F(CliParallelGet, PrintNeedsARawPort) {
    TRun r = run("get \"day one\" --print --dir " + tmp.path.string());
    EXPECT_EQ(r.code, 2) << r.out;
    EXPECT_NE(r.out.find("--print needs --source or a parallel link"), std::string::npos) << r.out;
}
