// A few downloads through a noisy line that goes dead at random moments, each resumed by
// appending until whole: the short form of the reliability benchmark.
#include "support/Reliability.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace telvor::testing;

TEST(Reliability, NoisyLineThatDropsStillGivesByteIdenticalFiles) {
    TTempDir tmp("telvor-reliability");
    TReliabilityOptions o;
    o.dir = tmp.path;
    o.sizes = {0, 1, 1024, 3 * 2048, 20000, 45000};
    o.files = static_cast<int>(o.sizes.size());
    o.seed = 7;
    o.dropChance = 0.5;
    std::vector<std::string> log;
    o.log = [&](const std::string& line) { log.push_back(line); };
    const TReliabilityResult r = runReliability(o);
    for (const auto& failure : r.failures)
        ADD_FAILURE() << failure;
    if (::testing::Test::HasFailure())
        for (const auto& line : log)
            std::printf("%s\n", line.c_str());
    EXPECT_TRUE(r.allIdentical());
    EXPECT_EQ(r.files, 6);
    // The faults did strike, so the run proves something.
    EXPECT_GT(r.crcErrors, 0);
    EXPECT_GT(r.resumes, 0);
}
