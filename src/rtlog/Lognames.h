#pragma once
// File names and switch times of a real-time logging run: count and date numbering, the
// receiver-time schedule, and the texts of the byte and elapsed labels.
#include <cstdint>
#include <functional>
#include <string>

namespace telvor {

// 1..366, or 0 when the date is not valid (years 0..2400).
int dayOfYear(int year, int month, int day);

struct TRxDate {
    int year = 0, month = 0, day = 0;
    bool known() const { return year >= 2000; }
};

// The time a date name stands for: seconds of the day (may reach past 24 h without a date).
struct TNameEpoch {
    std::int64_t seconds = -1; // negative: no name
    TRxDate date;              // year 0 when unknown
};

// The epoch of a file being prepared: the time of day plus the interval, rounded up to the
// next whole interval over the full date and time (the next day when it rolls over).
TNameEpoch preparedEpoch(std::int64_t timeOfDayMs, TRxDate date, double intervalS);

// Y DDD HH MM, without prefix and extension; empty for a negative epoch.
std::string dateStem(const TNameEpoch& epoch);

// Whether a file of that name exists; tests give their own.
using TExists = std::function<bool(const std::string& path)>;
bool fileExists(const std::string& path);

// folder/prefix+stem+".vxr"; unless `overwrite`, an existing name is retried with a letter
// before the dot, and the plain name is used when all 26 exist. Empty for an empty stem.
std::string dateFileName(const std::string& folder, const std::string& prefix,
                         const std::string& stem, bool overwrite, const TExists& exists);

// folder/prefix+"%04d.vxr"; unless `overwrite`, `count` rises past existing files.
std::string countFileName(const std::string& folder, const std::string& prefix, int& count,
                          bool overwrite, const TExists& exists);

// A single file's name gets ".vxr" when its last path part has no dot; "NUL" stays.
std::string singleFileName(const std::string& name);

// Granularity index 0 minutes, 1 hours, 2 days -> seconds.
int granularitySeconds(int index);

// The first boundary (in units) after the start: one unit on, rounded up to the period, and a
// period later when the interval before it has already begun.
std::int64_t firstBoundary(double receiverSeconds, int unitS, int period, double intervalS);

// Whether the next file should be prepared now.
bool boundaryReached(double receiverSeconds, double intervalS, int unitS, std::int64_t boundary);

// BytesLabel: the count, or kilobytes with "K" above 999999.
std::string bytesText(std::uint64_t bytes);
// ElapsedLabel: "%02d:%02d:%02d".
std::string elapsedText(std::uint32_t ms);

} // namespace telvor
