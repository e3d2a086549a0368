// Gathering one epoch of monitor messages for the NMEA sentences.
#include "nmea/Nmeaepoch.h"

#include "monitor/Body.h"
#include "protocol/Messageformat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace telvor {
namespace {

constexpr double kA = 6378137.0;
constexpr double kF = 1 / 298.257223563;
constexpr double kE2 = kF * (2 - kF);

bool is(const std::uint8_t* m, const char* id) {
    return m[0] == static_cast<std::uint8_t>(id[0]) && m[1] == static_cast<std::uint8_t>(id[1]);
}

bool finite(double v) {
    return std::isfinite(v);
}

// Values no receiver can mean are not given: their fields would also overrun a sentence.
constexpr double kMaxDop = 99.99;
constexpr double kMaxHeight = 1e6; // m
constexpr double kMaxSpeed = 1e4;  // m/s

bool plausiblePosition(double lat, double lon, double h) {
    return finite(lat) && finite(lon) && finite(h) && std::abs(lat) <= std::numbers::pi / 2 &&
           std::abs(lon) <= std::numbers::pi && std::abs(h) <= kMaxHeight;
}

} // namespace

TGeodetic geodeticFromEcef(double x, double y, double z) {
    TGeodetic g;
    const double p = std::hypot(x, y);
    g.lon = std::atan2(y, x);
    double lat = std::atan2(z, p * (1 - kE2));
    double n = kA;
    for (int i = 0; i < 6; ++i) {
        const double s = std::sin(lat);
        n = kA / std::sqrt(1 - kE2 * s * s);
        lat = std::atan2(z + kE2 * n * s, p);
    }
    g.lat = lat;
    const double s = std::sin(lat), c = std::cos(lat);
    // Near the poles the height from p/cos would lose all precision.
    g.height = std::abs(c) > 1e-3 ? p / c - n : z / s - n * (1 - kE2);
    return g;
}

void eastNorth(double lat, double lon, double vx, double vy, double vz, double& east,
               double& north) {
    const double sl = std::sin(lat), cl = std::cos(lat), so = std::sin(lon), co = std::cos(lon);
    east = -so * vx + co * vy;
    north = -sl * co * vx - sl * so * vy + cl * vz;
}

void TNmeaCollector::reset() {
    epoch_ = TNmeaEpoch{};
    for (auto* v : {&index_, &slot_, &el_, &az_, &snr_, &status_})
        v->clear();
    havePg_ = havePv_ = false;
}

bool TNmeaCollector::offer(const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize)
        return false;
    if (is(m, "||")) {
        finish();
        return true;
    }
    if (checkMessage(m, length) != CheckResult::Good)
        return false;
    const TBody b(m, length);
    if (is(m, "~~")) {
        reset();
        std::uint32_t ms;
        if (b.read(0, ms))
            epoch_.timeMs = ms;
    } else if (is(m, "RD")) {
        std::uint16_t year;
        std::uint8_t month, day;
        if (b.read(0, year) && b.read(2, month) && b.read(3, day) && month >= 1 && month <= 12 &&
            day >= 1 && day <= 31)
            epoch_.date = TNmeaDate{year, month, day};
    } else if (is(m, "SI")) {
        satellites(m, length);
    } else if (is(m, "NN") || is(m, "EL") || is(m, "AZ") || is(m, "EC") || is(m, "SS")) {
        perSatellite(static_cast<char>(m[0]), m, length);
    } else if (is(m, "PG")) {
        double lat, lon, h;
        std::uint8_t type;
        if (b.read(0, lat) && b.read(8, lon) && b.read(16, h) && b.read(28, type)) {
            havePg_ = true;
            epoch_.solutionType = type;
            if (plausiblePosition(lat, lon, h)) {
                epoch_.lat = lat;
                epoch_.lon = lon;
                epoch_.height = h;
            }
        }
    } else if (is(m, "PV")) {
        float v[3];
        std::uint8_t type;
        if (b.read(0, pv_[0]) && b.read(8, pv_[1]) && b.read(16, pv_[2]) && b.read(28, v[0]) &&
            b.read(32, v[1]) && b.read(36, v[2]) && b.read(44, type)) {
            havePv_ = true;
            pv_[3] = v[0], pv_[4] = v[1], pv_[5] = v[2];
            pvType_ = type;
        }
    } else if (is(m, "DP")) {
        float h, v;
        if (b.read(0, h) && b.read(4, v) && h >= 0 && v >= 0 && h <= kMaxDop && v <= kMaxDop) {
            epoch_.hdop = h;
            epoch_.vdop = v;
        }
    }
    return false;
}

void TNmeaCollector::satellites(const std::uint8_t* m, std::size_t length) {
    const TBody b(m, length);
    index_.assign(b.data(), b.data() + b.size());
    for (auto* v : {&slot_, &el_, &az_, &snr_, &status_})
        v->clear();
    epoch_.satellitesGiven = true;
}

void TNmeaCollector::perSatellite(char kind, const std::uint8_t* m, std::size_t length) {
    const TBody b(m, length);
    std::size_t n = b.size();
    if (kind == 'S') {
        if (n == 0)
            return;
        --n; // "SS" ends with one byte after the entries
        epoch_.usedGiven = true;
    }
    std::vector<int>& out = kind == 'N'   ? slot_
                            : kind == 'E' ? (m[1] == 'L' ? el_ : snr_)
                            : kind == 'A' ? az_
                                          : status_;
    out.clear();
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(kind == 'E' && m[1] == 'L' ? static_cast<std::int8_t>(b.data()[i])
                                                 : b.data()[i]);
}

void TNmeaCollector::finish() {
    std::size_t glonass = 0;
    epoch_.satellites.clear();
    auto at = [](const std::vector<int>& v, std::size_t i, int unknown) {
        return i < v.size() ? v[i] : unknown;
    };
    for (std::size_t i = 0; i < index_.size(); ++i) {
        const int index = index_[i];
        TNmeaSatellite s;
        if (index >= 38 && index <= 70) {
            s.glonass = true;
            const int slot = at(slot_, glonass++, 255);
            if (slot < 1 || slot > 32)
                continue; // no NMEA number without the slot
            s.number = 64 + slot;
        } else if (index >= 1 && index <= 32) {
            s.number = index;
        } else if (index >= 120 && index <= 138) {
            s.number = index - 87;
        } else {
            continue;
        }
        const int el = at(el_, i, 127), az = at(az_, i, 255), snr = at(snr_, i, 255);
        if (el >= 0 && el <= 90)
            s.elevation = el;
        if (az != 255)
            s.azimuth = (az * 2) % 360;
        if (snr != 255)
            s.snr = std::min(snr, 99);
        const int status = at(status_, i, -1);
        s.used = (status >= 0 && status <= 3) || (status >= 51 && status <= 55);
        epoch_.satellites.push_back(s);
    }
    // The logging list has no "PG": the position then comes from "PV".
    if (!havePg_ && havePv_) {
        epoch_.solutionType = pvType_;
        const TGeodetic g = geodeticFromEcef(pv_[0], pv_[1], pv_[2]);
        if (pvType_ != 0 && plausiblePosition(g.lat, g.lon, g.height))
            epoch_.lat = g.lat, epoch_.lon = g.lon, epoch_.height = g.height;
    }
    if (havePv_ && pvType_ != 0 && epoch_.lat && epoch_.lon && finite(pv_[3]) && finite(pv_[4]) &&
        finite(pv_[5])) {
        double e, n;
        eastNorth(*epoch_.lat, *epoch_.lon, pv_[3], pv_[4], pv_[5], e, n);
        if (!(std::hypot(e, n) <= kMaxSpeed))
            return;
        epoch_.speed = std::hypot(e, n);
        double course = std::atan2(e, n) * 180 / std::numbers::pi;
        epoch_.course = course < 0 ? course + 360 : course;
    }
}

} // namespace telvor
