#include "sim/Gnsstime.h"

namespace telvorsim {
namespace {

struct TLeap {
    std::int64_t fromUnixS; // UTC midnight from which GPS - UTC has this value
    int value;
};

// Every leap second since the GPS epoch; none has been announced after 2017.
constexpr TLeap kLeaps[] = {
    {362793600, 1},   {394329600, 2},   {425865600, 3},   {489024000, 4},   {567993600, 5},
    {631152000, 6},   {662688000, 7},   {709948800, 8},   {741484800, 9},   {773020800, 10},
    {820454400, 11},  {867715200, 12},  {915148800, 13},  {1136073600, 14}, {1230768000, 15},
    {1341100800, 16}, {1435708800, 17}, {1483228800, 18},
};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

int leapSeconds(std::int64_t utcMs) {
    int value = 0;
    for (const TLeap& l : kLeaps)
        if (floorDiv(utcMs, 1000) >= l.fromUnixS)
            value = l.value;
    return value;
}

std::int64_t gpsMsFromUtc(std::int64_t utcMs) {
    return utcMs - kGpsEpochUnixS * 1000 + leapSeconds(utcMs) * 1000LL;
}

std::int64_t utcMsFromGps(std::int64_t gpsMs) {
    // The leap count of the UTC instant found by one correction; a GPS instant inside an
    // inserted second maps onto the second that follows it.
    std::int64_t utc = gpsMs + kGpsEpochUnixS * 1000;
    std::int64_t guess = utc - leapSeconds(utc) * 1000LL;
    return utc - leapSeconds(guess) * 1000LL;
}

TGpsTime gpsTime(std::int64_t gpsMs) {
    TGpsTime t;
    t.week = static_cast<int>(floorDiv(gpsMs, kWeekS * 1000));
    t.towMs = gpsMs - t.week * kWeekS * 1000;
    return t;
}

TLeapEvent leapEvent(std::int64_t utcMs) {
    const TLeap* latest = &kLeaps[0];
    for (const TLeap& l : kLeaps)
        if (floorDiv(utcMs, 1000) >= l.fromUnixS)
            latest = &l;
    // The second is inserted at the end of the day before the new value takes effect.
    std::int64_t lastDay = latest->fromUnixS - 86400;
    std::int64_t gpsS = lastDay - kGpsEpochUnixS;
    TLeapEvent e;
    e.weekLsf = static_cast<int>(floorDiv(gpsS, kWeekS));
    e.day = static_cast<int>((gpsS - e.weekLsf * kWeekS) / 86400) + 1;
    e.after = latest->value;
    e.before = latest->value - 1;
    return e;
}

TGloTime gloTime(std::int64_t utcMs) {
    TGloTime g;
    std::int64_t mskMs = utcMs + 3 * 3600000LL;
    std::int64_t day = floorDiv(mskMs, 86400000);
    g.todMs = mskMs - day * 86400000;
    // Days since 1996-01-01 (a leap year), 9496 days after 1970-01-01.
    std::int64_t since1996 = day - 9496;
    std::int64_t period = floorDiv(since1996, 1461);
    g.n4 = static_cast<int>(period) + 1;
    g.dayN4 = static_cast<int>(since1996 - period * 1461) + 1;
    return g;
}

} // namespace telvorsim
