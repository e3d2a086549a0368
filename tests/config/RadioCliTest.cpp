// telvor-cli radio against telvor-sim with a modem on port B: a row set and stored at the
// modem's real pace, the receiver's ports as they were, and the usage errors that come before
// any search.
#include "sim/Receiver.h"
#include "support/Clipty.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

namespace {

using telvor::testing::TRun;

class RadioCliTest : public telvor::testing::TCliPtyTest {
protected:
    RadioCliTest() : TCliPtyTest("telvor-radio-cli") {}
    void SetUp() override {
        telvorsim::TSimOptions options;
        options.baud = 57600;
        options.epochWallMs = 600000;
        options.modemPort = "/dev/ser/b";
        startReceiver(options);
    }
    TRun cli(const std::string& args) { return runApart("radio " + args); }
};

TEST_F(RadioCliTest, SetProgramsTheModemAndLeavesThePortsAsTheyWere) {
    const auto rateB = sim->param("/par/dev/ser/b/rate");
    TRun r = cli("--speed 19200 set 'Channel number' 7 protocol packet 'BREAK to Command' on");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "OK\n");
    EXPECT_EQ(sim->modemValue(4), 7);
    EXPECT_EQ(sim->modemValue(8), 0x82);
    EXPECT_FALSE(sim->modemCommandMode());
    EXPECT_EQ(sim->param("/par/dev/ser/b/rate"), rateB);
    EXPECT_EQ(sim->param("/par/dev/ser/a/imode"), "cmd");
    EXPECT_EQ(sim->param("/par/dev/ser/a/echo"), "/dev/null");
    EXPECT_EQ(sim->rate(), 57600u);
}

TEST_F(RadioCliTest, UsageErrorsComeBeforeAnySearch) {
    for (const char* args : {"", "get extra", "set EOT", "set 'No such row' 1", "set EOT 256",
                             "--speed 1200 get", "--modem-port E get", "scan"}) {
        TRun r = cli(args);
        EXPECT_EQ(r.code, 2) << args << ": " << r.err;
    }
    EXPECT_TRUE(sim->commands().empty()) << "the receiver was not asked anything";
}

} // namespace
