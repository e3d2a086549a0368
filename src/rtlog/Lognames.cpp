#include "rtlog/Lognames.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>

namespace telvor {
namespace {

constexpr std::int64_t kDayMs = 86400000;

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

int dayOfYear(int year, int month, int day) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 0 || year > 2400 || month < 1 || month > 12 || day < 1)
        return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int inMonth = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > inMonth)
        return 0;
    int doy = day;
    for (int m = 1; m < month; ++m)
        doy += kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    return doy;
}

TNameEpoch preparedEpoch(std::int64_t timeOfDayMs, TRxDate date, double intervalS) {
    TNameEpoch e;
    if (timeOfDayMs < 0)
        return e;
    if (!date.known()) {
        e.seconds =
            static_cast<std::int64_t>(static_cast<double>(timeOfDayMs) / 1000.0 + intervalS);
        return e;
    }
    using namespace std::chrono;
    const auto ymd = year_month_day{year{date.year}, month{unsigned(date.month)},
                                    std::chrono::day{unsigned(date.day)}};
    if (!ymd.ok())
        return preparedEpoch(timeOfDayMs, TRxDate{}, intervalS);
    const std::int64_t stepMs = std::max<std::int64_t>(1000, std::llround(intervalS * 1000.0));
    const std::int64_t dayNumber = sys_days{ymd}.time_since_epoch().count();
    std::int64_t t = dayNumber * kDayMs + timeOfDayMs + stepMs;
    t = (t + stepMs - 1) / stepMs * stepMs; // receiver times are never before 1970
    const std::int64_t days = t / kDayMs;
    const year_month_day out{sys_days{std::chrono::days{days}}};
    e.seconds = (t - days * kDayMs) / 1000;
    e.date = {int(out.year()), int(unsigned(out.month())), int(unsigned(out.day()))};
    return e;
}

std::string dateStem(const TNameEpoch& epoch) {
    if (epoch.seconds < 0)
        return {};
    int y = 0, doy = 0;
    if (epoch.date.known()) {
        doy = dayOfYear(epoch.date.year, epoch.date.month, epoch.date.day);
        y = doy ? epoch.date.year % 10 : 0;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%01d%03d%02d%02d", y, doy, int(epoch.seconds / 3600),
                  int(epoch.seconds % 3600 / 60));
    return text;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string dateFileName(const std::string& folder, const std::string& prefix,
                         const std::string& stem, bool overwrite, const TExists& exists) {
    if (stem.empty())
        return {};
    const std::string plain = joinPath(folder, prefix + stem + ".vxr");
    if (overwrite || !exists(plain))
        return plain;
    for (char c = 'a'; c <= 'z'; ++c) {
        std::string lettered = joinPath(folder, prefix + stem + c + ".vxr");
        if (!exists(lettered))
            return lettered;
    }
    return plain;
}

std::string countFileName(const std::string& folder, const std::string& prefix, int& count,
                          bool overwrite, const TExists& exists) {
    for (;;) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", count);
        std::string name = joinPath(folder, prefix + number + ".vxr");
        if (overwrite || !exists(name) || count == 0x7fffffff)
            return name;
        ++count;
    }
}

std::string singleFileName(const std::string& name) {
    if (name == "NUL")
        return name;
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + ".vxr";
    return name;
}

int granularitySeconds(int index) {
    return index <= 0 ? 60 : index == 1 ? 3600 : 86400;
}

std::int64_t firstBoundary(double receiverSeconds, int unitS, int period, double intervalS) {
    std::int64_t b = static_cast<std::int64_t>(std::floor(receiverSeconds)) / unitS + 1;
    b = (b + period - 1) / period * period;
    if (static_cast<double>(b * unitS) - intervalS < receiverSeconds)
        b += period;
    return b;
}

bool boundaryReached(double receiverSeconds, double intervalS, int unitS, std::int64_t boundary) {
    return (receiverSeconds + 1.01 * intervalS) / unitS >= static_cast<double>(boundary);
}

std::string bytesText(std::uint64_t bytes) {
    if (bytes > 999999)
        return std::to_string((bytes + 512) / 1024) + "K";
    return std::to_string(bytes);
}

std::string elapsedText(std::uint32_t ms) {
    const std::uint32_t s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", s / 3600, s % 3600 / 60, s % 60);
    return text;
}

} // namespace telvor
