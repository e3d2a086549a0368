// Names and switch times of the logging run: what decides which file the data land in.
#include "rtlog/Lognames.h"

#include <gtest/gtest.h>

#include <set>

namespace telvor::testing {
namespace {

TExists existing(std::set<std::string> names) {
    return [names](const std::string& path) { return names.count(path) != 0; };
}

TEST(LogNames, CountNumberingSkipsExistingFilesUnlessOverwriting) {
    int count = 0;
    EXPECT_EQ(countFileName("/d", "site", count, false, existing({"/d/site0000.vxr"})),
              "/d/site0001.vxr");
    EXPECT_EQ(count, 1);
    count = 0;
    EXPECT_EQ(countFileName("/d/", "site", count, true, existing({"/d/site0000.vxr"})),
              "/d/site0000.vxr");
    count = 12345;
    EXPECT_EQ(countFileName("", "p", count, false, existing({})), "p12345.vxr");
}

TEST(LogNames, DateNameRoundsUpToTheNextIntervalOverTheWholeDate) {
    // 2006-05-03 is day 123; 14:59:59.5 plus 1 s, rounded up, is 15:00:01.
    TNameEpoch e = preparedEpoch(53999500, {2006, 5, 3}, 1.0);
    EXPECT_EQ(dateStem(e), "61231500");
    EXPECT_EQ(dateFileName("/d", "site", dateStem(e), false, existing({})), "/d/site61231500.vxr");
    // The last seconds of a year roll into the first day of the next.
    e = preparedEpoch(86399500, {2006, 12, 31}, 1.0);
    EXPECT_EQ(dateStem(e), "70010000");
    // An interval below a second is taken as one second; a longer one rounds to its multiple.
    EXPECT_EQ(preparedEpoch(1000, {2006, 5, 3}, 0.1).seconds, 2);
    EXPECT_EQ(preparedEpoch(1000, {2006, 5, 3}, 30).seconds, 60);
}

TEST(LogNames, DateNameWithoutDateOrTime) {
    // No date: seconds of day plus the interval, hours not reduced below 24, Y and DDD 0.
    EXPECT_EQ(dateStem(preparedEpoch(86399000, {}, 2.0)), "00002400");
    EXPECT_EQ(dateStem(preparedEpoch(-1, {2006, 5, 3}, 1.0)), "");
    EXPECT_EQ(dateFileName("/d", "s", "", false, existing({})), "");
    // A date before 2000 counts as unknown; an impossible day gives day 0.
    EXPECT_EQ(dateStem(preparedEpoch(0, {1999, 5, 3}, 1.0)), "00000000");
    EXPECT_EQ(dateStem(TNameEpoch{3600, {2007, 2, 29}}), "00000100");
    EXPECT_EQ(dayOfYear(2004, 12, 31), 366);
    EXPECT_EQ(dayOfYear(2100, 3, 1), 60);
    EXPECT_EQ(dayOfYear(2401, 1, 1), 0);
}

TEST(LogNames, ExistingDateNamesAreRetriedWithLetters) {
    std::set<std::string> taken = {"/d/s61231500.vxr", "/d/s61231500a.vxr"};
    EXPECT_EQ(dateFileName("/d", "s", "61231500", false, existing(taken)), "/d/s61231500b.vxr");
    EXPECT_EQ(dateFileName("/d", "s", "61231500", true, existing(taken)), "/d/s61231500.vxr");
    for (char c = 'a'; c <= 'z'; ++c)
        taken.insert(std::string("/d/s61231500") + c + ".vxr");
    EXPECT_EQ(dateFileName("/d", "s", "61231500", false, existing(taken)), "/d/s61231500.vxr");
}

TEST(LogNames, ScheduleSwitchesJustBeforeTheBoundary) {
    const int hour = granularitySeconds(1);
    // Start at 14:05:30: the next boundary is 15 h.
    const double start = 14 * 3600 + 5 * 60 + 30;
    EXPECT_EQ(firstBoundary(start, hour, 1, 1.0), 15);
    EXPECT_FALSE(boundaryReached(14 * 3600 + 59 * 60 + 58.98, 1.0, hour, 15));
    EXPECT_TRUE(boundaryReached(14 * 3600 + 59 * 60 + 58.99, 1.0, hour, 15));
    // Periods round up to their multiple; a boundary whose last interval began is skipped.
    EXPECT_EQ(firstBoundary(start, hour, 4, 1.0), 16);
    EXPECT_EQ(firstBoundary(14 * 3600 + 59 * 60 + 59.5, hour, 1, 1.0), 16);
    EXPECT_EQ(firstBoundary(10, granularitySeconds(0), 1, 1.0), 1);
    EXPECT_EQ(granularitySeconds(2), 86400);
}

TEST(LogNames, SingleNamesGetTheExtensionWhenTheirLastPartHasNone) {
    EXPECT_EQ(singleFileName("data"), "data.vxr");
    EXPECT_EQ(singleFileName("/log.d/data"), "/log.d/data.vxr");
    EXPECT_EQ(singleFileName("/log/data.raw"), "/log/data.raw");
    EXPECT_EQ(singleFileName("NUL"), "NUL");
}

TEST(LogNames, Labels) {
    EXPECT_EQ(bytesText(999999), "999999");
    EXPECT_EQ(bytesText(1000000), "977K");
    EXPECT_EQ(elapsedText(3600 * 1000 * 25 + 61 * 1000 + 999), "25:01:01");
}

} // namespace
} // namespace telvor::testing
