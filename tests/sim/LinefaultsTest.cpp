// Line noise in bursts and a line that goes dead for a while: the faults the download
// reliability run leans on.
#include "sim/Faults.h"
#include "sim/Receiver.h"
#include "support/Simclient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace telvorsim;

TEST(SimLineFaults, BurstsKeepTheShareOfCorruptedBytesAndRunAcrossCalls) {
    TFaultRandom random(5);
    const std::string clean(1000, 'a');
    std::size_t hit = 0, runs = 0;
    bool inRun = false;
    int carry = 0;
    for (int k = 0; k < 400; ++k) {
        const std::string out = damage(clean, 0.01, 0, random, 64, &carry);
        ASSERT_EQ(out.size(), clean.size());
        for (char c : out) {
            const bool bad = c != 'a';
            hit += bad;
            runs += bad && !inRun;
            inRun = bad;
        }
    }
    const double share = double(hit) / (400.0 * clean.size());
    EXPECT_GT(share, 0.007);
    EXPECT_LT(share, 0.013);
    // Runs of 64 that may touch each other, but never single bytes scattered about.
    EXPECT_LT(runs, hit / 32);
}

TEST(SimLineFaults, DeadLineCutsTheOutputLosesTheInputAndComesBack) {
    TSimOptions o;
    o.epochWallMs = 600000;
    TSimReceiver sim(o);
    simtest::TClient c(sim.startSocketpair());
    ASSERT_TRUE(c.ask("%%print,/par/rcv/model"));

    TFaults faults;
    faults.lineDownAfterBytes = 5;
    faults.lineDownMs = 400;
    sim.setFaults(faults);
    c.reset();
    EXPECT_FALSE(c.ask("%%print,/par/rcv/model", 200));
    EXPECT_EQ(c.raw, "RE008"); // cut exactly there
    // A command sent while the line is dead never reaches the receiver.
    ASSERT_TRUE(c.write("%lost%print,/par/rcv/serial\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    for (const std::string& command : sim.commands())
        EXPECT_EQ(command.find("%lost%"), std::string::npos);
    c.reset();
    auto r = c.ask("%%print,/par/rcv/model");
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, "RE008%%VORNA\n");
}
