#include "monitor/Numformat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace telvor {
namespace {

std::string twoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

} // namespace

std::string formatFixed(double value, int precision, int decimals) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    precision = precision < 1 ? 1 : precision > 18 ? 18 : precision;
    decimals = decimals < 0 ? 0 : decimals > 18 ? 18 : decimals;

    // The exponent after rounding to `precision` significant digits tells the integer digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, std::fabs(value));
    int exponent = 0;
    if (const char* e = std::strchr(buf, 'e'))
        exponent = std::atoi(e + 1);
    int intDigits = value == 0 ? 1 : exponent + 1;
    if (intDigits > precision) {
        std::snprintf(buf, sizeof buf, "%.*E", precision - 1, value);
        return buf;
    }
    int digits = std::min(decimals, std::max(0, precision - intDigits));
    std::snprintf(buf, sizeof buf, "%.*f", digits, value);
    std::string s = buf;
    if (decimals > digits) {
        if (digits == 0)
            s += '.';
        s.append(static_cast<std::size_t>(decimals - digits), '0');
    }
    if (s[0] == '-' && s.find_first_of("123456789") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string fixedText(double value, int precision, int decimals, std::string_view unit,
                      std::string_view unknown) {
    if (!std::isfinite(value))
        return std::string(unknown);
    std::string s = formatFixed(value, precision, decimals);
    s.append(unit);
    return s;
}

TDms formatAngleDms(double radians, bool isLongitude, int decimals) {
    TDms r;
    r.letter = isLongitude ? (radians >= 0 ? 'E' : 'W') : (radians >= 0 ? 'N' : 'S');
    double s = std::fabs(radians) * 180.0 / kPi * 3600.0;
    // Beyond about 1e302 radians the seconds overflow to infinity.
    if (!std::isfinite(s)) {
        r.known = false;
        return r;
    }
    int d = std::clamp(decimals, 0, 9);
    double scale = std::pow(10.0, d);
    // fmod is exact, so the rest stays within a degree however large the angle; the degrees
    // only matter modulo the limit below.
    double rest = std::fmod(s, 3600.0);
    double deg = std::round((s - rest) / 3600.0);
    double min = std::trunc(rest / 60.0);
    double sec = std::floor(scale * (rest - min * 60.0) + 0.5) / scale;
    if (sec >= 60) {
        sec -= 60;
        min += 1;
    }
    if (min >= 60) {
        min = 0;
        deg += 1;
    }
    // Only angles past the pole or the date line wrap; 90° and 180° themselves stay.
    double limit = isLongitude ? 180 : 90;
    if (deg > limit)
        deg = std::fmod(deg, limit);
    r.degrees = static_cast<int>(deg);
    r.minutes = static_cast<int>(min);
    r.seconds = static_cast<float>(sec);
    return r;
}

std::string dmsText(double radians, bool isLongitude) {
    TDms a = formatAngleDms(radians, isLongitude, 4);
    if (!a.known)
        return std::string(kUnknownText);
    return std::to_string(a.degrees) + "\u00B0 " + twoDigits(a.minutes) + "' " +
           (a.seconds < 10 ? "0" : "") + formatFixed(a.seconds, 6, 4) + "\" " + a.letter;
}

TOffsets targetOffsets(double lon, double lat, double targetLon, double targetLat) {
    TOffsets o;
    o.east = (targetLon - lon) * kEarthRadius * std::cos((lat + targetLat) / 2);
    o.north = (targetLat - lat) * kEarthRadius;
    if (!std::isfinite(o.east) || !std::isfinite(o.north)) {
        o.distance = o.course = std::nan("");
        return o;
    }
    o.distance = std::hypot(o.east, o.north);
    // A pure east or west offset still has a course; only no offset at all has none.
    if (o.east != 0 || o.north != 0) {
        o.course = std::atan2(o.east, o.north) * 180.0 / kPi;
        if (o.course < 0)
            o.course += 360;
    }
    return o;
}

std::string courseText(double degrees) {
    if (!std::isfinite(degrees))
        return std::string(kUnknownText);
    double deg = std::floor(degrees);
    double minutes = (degrees - deg) * 60;
    double min = std::floor(minutes);
    double sec = std::round((minutes - min) * 60 * 100) / 100;
    if (sec >= 60) {
        sec -= 60;
        min += 1;
    }
    if (min >= 60) {
        min -= 60;
        deg += 1;
    }
    return std::to_string(static_cast<int>(deg)) + "\u00B0 " + twoDigits(static_cast<int>(min)) +
           "' " + (sec < 10 ? "0" : "") + formatFixed(sec, 6, 2) + "\" ";
}

} // namespace telvor
