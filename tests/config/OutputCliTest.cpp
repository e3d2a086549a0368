// telvor-cli output against telvor-sim on a pty: a port's preset read back as set, None,
// refused and unknown presets.
#include "sim/Receiver.h"
#include "support/Clipty.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

namespace {

using telvor::testing::TRun;

class OutputCliTest : public telvor::testing::TCliPtyTest {
protected:
    OutputCliTest() : TCliPtyTest("telvor-output-cli") {}
    void SetUp() override { startReceiver({}); }
    TRun cli(const std::string& args) { return runApart("output " + args); }
};

TEST_F(OutputCliTest, SetsAndReadsAPortsPreset) {
    TRun r = cli("/dev/ser/c");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "None\n");
    r = cli("/dev/ser/c '" + std::string("RTK CMR+ {10,0,9}") + "' 5");
    ASSERT_EQ(r.code, 0) << r.err;
    r = cli("/dev/ser/c");
    EXPECT_EQ(r.out, "RTK CMR+ {10,0,9}\n5.00\n");
    ASSERT_EQ(cli("/dev/ser/c None 1").code, 0);
    EXPECT_EQ(cli("/dev/ser/c").out, "None\n");

    r = cli("/dev/ser/z 'RTK VXR min' 1");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Can't disable output for /dev/ser/z\n");
    r = cli("/dev/ser/c 'RTK CMR {10,0,1}' 1");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("not a preset"), std::string::npos) << r.err;
    EXPECT_EQ(cli("/dev/ser/c 'RTK VXR min' 0").code, 2);
}

} // namespace
