#pragma once
// Number and angle texts of the monitor: fixed-point with a significant-digit limit, degrees-
// minutes-seconds, offsets and course to the target point.
#include <string>
#include <string_view>

namespace telvor {

inline constexpr double kEarthRadius = 6371000.0; // sphere used for offsets to the target
inline constexpr double kPi = 3.14159265358979323846;

// `decimals` digits after the point, the value first rounded to `precision` significant
// digits; more integer digits than `precision` switch to the exponent form. "NAN", "INF",
// "-INF" for non-finite values; a value that rounds to zero never shows a minus sign.
std::string formatFixed(double value, int precision, int decimals);

// What a label shows for a value the receiver sent as NaN or infinity.
inline constexpr std::string_view kUnknownText = "??";

// formatFixed + unit for a finite value; `unknown` alone otherwise.
std::string fixedText(double value, int precision, int decimals, std::string_view unit = {},
                      std::string_view unknown = kUnknownText);

// "+" for values above 0, nothing otherwise.
inline const char* signPrefix(double value) {
    return value > 0 ? "+" : "";
}

// A pixel coordinate from any double: far-off values are held at +/-1e6 (still off every
// picture) and NaN is 0, so the conversion to int is always defined.
inline int pixelFrom(double v) {
    return v > 1e6 ? 1000000 : v < -1e6 ? -1000000 : v == v ? static_cast<int>(v) : 0;
}

struct TDms {
    int degrees = 0;
    int minutes = 0;
    float seconds = 0;
    char letter = 'N';
    bool known = true; // false for a non-finite angle or one too large to convert
};

// Seconds rounded to `decimals` (at most 9) with the carry into minutes and degrees; the
// letter is "N"/"S" (latitude) or "E"/"W" (longitude) by the sign, -0.0 counting as positive.
TDms formatAngleDms(double radians, bool isLongitude, int decimals);

// Label form: 12° 05' 07.1234" N; "??" when the angle is not known.
std::string dmsText(double radians, bool isLongitude);

struct TOffsets {
    double east = 0;
    double north = 0;
    double distance = 0;
    double course = 0; // degrees 0..360
};

// Offsets from the position (lon, lat) to the target, radians in, metres out. When east or
// north is not finite, distance and course are NaN too: there is no offset to show.
TOffsets targetOffsets(double lon, double lat, double targetLon, double targetLat);

// Course label form: 123° 04' 05.67"; "??" for a non-finite course.
std::string courseText(double degrees);

} // namespace telvor
