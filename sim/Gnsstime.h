#pragma once
// Time scales of the simulated world. The receiver's clock runs on UTC (milliseconds since
// 1970, leap seconds not counted); GPS time runs ahead of it by the leap seconds, GLONASS time
// is UTC + 3 h.
#include <cstdint>

namespace telvorsim {

constexpr std::int64_t kGpsEpochUnixS = 315964800; // 1980-01-06 00:00:00 UTC
constexpr std::int64_t kWeekS = 604800;

// GPS minus UTC, seconds, at a UTC instant (ms since 1970).
int leapSeconds(std::int64_t utcMs);

// Milliseconds of GPS time since the GPS epoch.
std::int64_t gpsMsFromUtc(std::int64_t utcMs);
std::int64_t utcMsFromGps(std::int64_t gpsMs);

struct TGpsTime {
    int week = 0;           // full week number, no rollover at 1024
    std::int64_t towMs = 0; // time of week
};
TGpsTime gpsTime(std::int64_t gpsMs);

// The leap second in force or the latest announced at a UTC instant, as GPS broadcasts it.
struct TLeapEvent {
    int weekLsf = 0; // full week of the day at whose end the leap second is inserted
    int day = 0;     // day of that week, 1 = Sunday
    int before = 0;  // GPS - UTC before the event
    int after = 0;   // and after
};
TLeapEvent leapEvent(std::int64_t utcMs);

// GLONASS: Moscow time of day, the day within the four-year period (1 = 1 January of the
// leap year) and the four-year period (1 = 1996-1999).
struct TGloTime {
    std::int64_t todMs = 0;
    int dayN4 = 1;
    int n4 = 1;
};
TGloTime gloTime(std::int64_t utcMs);

} // namespace telvorsim
