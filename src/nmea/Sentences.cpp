// NMEA 0183 sentences from one epoch of monitor messages.
#include "nmea/Sentences.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace telvor {
namespace {

constexpr double kKnotsPerMs = 3600.0 / 1852.0;
constexpr std::size_t kSatsPerGsa = 12;
constexpr std::size_t kSatsPerGsv = 4;

template <class... A> std::string fmt(const char* f, A... args) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, f, args...);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)))
                 : std::string();
}

// hhmmss.ss; a leap second reads 23:59:60.
std::string timeField(const std::optional<std::uint32_t>& ms) {
    if (!ms)
        return {};
    std::uint32_t t = *ms;
    int h = static_cast<int>(t / 3600000), m = static_cast<int>(t / 60000 % 60);
    int s = static_cast<int>(t / 1000 % 60);
    if (t >= 86400000 && t < 86401000)
        h = 23, m = 59, s = 60;
    return fmt("%02d%02d%02d.%02u", h % 24, m, s, t % 1000 / 10);
}

// ddmm.mmmmmm or dddmm.mmmmmm and the hemisphere, rounded in millionths of a minute so that
// 59.9999999 minutes carry into the degrees.
std::string angleFields(const std::optional<double>& rad, bool longitude) {
    if (!rad)
        return ",";
    const double deg = *rad * 180 / std::numbers::pi;
    const long long q = std::llround(std::abs(deg) * 60e6);
    const long long d = q / 60000000, rest = q % 60000000;
    const char hemi = longitude ? (deg < 0 ? 'W' : 'E') : (deg < 0 ? 'S' : 'N');
    return fmt(longitude ? "%03lld%02lld.%06lld,%c" : "%02lld%02lld.%06lld,%c", d, rest / 1000000,
               rest % 1000000, hemi);
}

std::string number(const std::optional<double>& v, const char* f) {
    return v ? fmt(f, *v) : std::string();
}

std::string dateField(const std::optional<TNmeaDate>& d) {
    return d ? fmt("%02d%02d%02d", d->day, d->month, d->year % 100) : std::string();
}

// RMC, VTG mode indicator.
char modeLetter(const TNmeaEpoch& e) {
    if (!e.solutionType)
        return 0;
    static const char kLetters[] = {'N', 'A', 'D', 'F', 'R'};
    return *e.solutionType >= 0 && *e.solutionType <= 4 ? kLetters[*e.solutionType] : 0;
}

std::string modeField(const TNmeaEpoch& e) {
    const char c = modeLetter(e);
    return c ? std::string(1, c) : std::string();
}

std::optional<double> pdop(const TNmeaEpoch& e) {
    if (!e.hdop || !e.vdop)
        return std::nullopt;
    return std::hypot(*e.hdop, *e.vdop);
}

std::optional<double> knots(const TNmeaEpoch& e) {
    if (!e.speed)
        return std::nullopt;
    return *e.speed * kKnotsPerMs;
}

// Course rounded to the field's two decimals never reads 360.00.
std::optional<double> course(const TNmeaEpoch& e) {
    if (!e.course)
        return std::nullopt;
    return std::round(*e.course * 100) / 100 >= 360 ? 0.0 : *e.course;
}

std::string gga(const TNmeaEpoch& e) {
    const bool fix = e.hasFix();
    std::string s = "GNGGA," + timeField(e.timeMs) + "," +
                    angleFields(fix ? e.lat : std::nullopt, false) + "," +
                    angleFields(fix ? e.lon : std::nullopt, true) + ",";
    if (e.solutionType && ggaQuality(*e.solutionType) >= 0)
        s += std::to_string(ggaQuality(*e.solutionType));
    s += ",";
    if (e.usedGiven) {
        int used = 0;
        for (const auto& sat : e.satellites)
            used += sat.used;
        s += fmt("%02d", used);
    }
    s += "," + number(e.hdop, "%.2f") + ",";
    // The receiver gives the ellipsoidal height only: altitude over the ellipsoid with a
    // separation of 0, so that altitude + separation is the height it gave.
    if (fix && e.height)
        s += fmt("%.3f", *e.height) + ",M,0.000,M,,";
    else
        s += ",M,,M,,";
    return nmeaSentence(s);
}

std::string rmc(const TNmeaEpoch& e) {
    const bool fix = e.hasFix() && e.lat && e.lon;
    std::string s = "GNRMC," + timeField(e.timeMs) + "," + (fix ? "A" : "V") + "," +
                    angleFields(fix ? e.lat : std::nullopt, false) + "," +
                    angleFields(fix ? e.lon : std::nullopt, true) + "," +
                    number(fix ? knots(e) : std::nullopt, "%.3f") + "," +
                    number(fix ? course(e) : std::nullopt, "%.2f") + "," + dateField(e.date) +
                    ",,," + modeField(e) + "," + (fix ? "" : "V");
    return nmeaSentence(s);
}

std::string gsaFixMode(const TNmeaEpoch& e) {
    if (!e.solutionType)
        return {};
    if (!e.hasFix() || !e.lat)
        return "1";
    return e.height ? "3" : "2";
}

// One GSA per system (and one more for every 12 satellites beyond the first 12 in use).
std::string gsa(const TNmeaEpoch& e, bool glonass) {
    std::vector<int> used;
    for (const auto& sat : e.satellites)
        if (sat.glonass == glonass && sat.used)
            used.push_back(sat.number);
    std::string out;
    const std::string dops = number(pdop(e), "%.2f") + "," + number(e.hdop, "%.2f") + "," +
                             number(e.vdop, "%.2f") + "," + (glonass ? "2" : "1");
    std::size_t i = 0;
    do {
        std::string s = "GNGSA,A," + gsaFixMode(e) + ",";
        for (std::size_t k = 0; k < kSatsPerGsa; ++k, ++i)
            s += (i < used.size() ? fmt("%02d", used[i]) : std::string()) + ",";
        out += nmeaSentence(s + dops);
    } while (i < used.size());
    return out;
}

std::string gsvField(const std::optional<int>& v, const char* f) {
    return v ? fmt(f, *v) : std::string();
}

std::string gsv(const TNmeaEpoch& e, bool glonass) {
    std::vector<const TNmeaSatellite*> sats;
    for (const auto& sat : e.satellites)
        if (sat.glonass == glonass)
            sats.push_back(&sat);
    const std::size_t total =
        std::max<std::size_t>(1, (sats.size() + kSatsPerGsv - 1) / kSatsPerGsv);
    std::string out;
    for (std::size_t m = 0; m < total; ++m) {
        std::string s =
            fmt(glonass ? "GLGSV,%zu,%zu,%02zu" : "GPGSV,%zu,%zu,%02zu", total, m + 1, sats.size());
        for (std::size_t k = m * kSatsPerGsv; k < sats.size() && k < (m + 1) * kSatsPerGsv; ++k)
            s += fmt(",%02d,", sats[k]->number) + gsvField(sats[k]->elevation, "%02d") + "," +
                 gsvField(sats[k]->azimuth, "%03d") + "," + gsvField(sats[k]->snr, "%02d");
        out += nmeaSentence(s + ",1"); // signal: L1 C/A, G1 C/A
    }
    return out;
}

std::string vtg(const TNmeaEpoch& e) {
    const bool fix = e.hasFix();
    const auto kn = fix ? knots(e) : std::nullopt;
    const auto kmh = kn ? std::optional<double>(*e.speed * 3.6) : std::nullopt;
    return nmeaSentence("GNVTG," + number(fix ? course(e) : std::nullopt, "%.2f") + ",T,,M," +
                        number(kn, "%.3f") + ",N," + number(kmh, "%.3f") + ",K," + modeField(e));
}

std::string zda(const TNmeaEpoch& e) {
    std::string s = "GNZDA," + timeField(e.timeMs) + ",";
    s += e.date ? fmt("%02d,%02d,%04d", e.date->day, e.date->month, e.date->year) : ",,";
    return nmeaSentence(s + ",,");
}

} // namespace

std::uint8_t nmeaChecksum(std::string_view body) {
    std::uint8_t c = 0;
    for (char ch : body)
        c ^= static_cast<std::uint8_t>(ch);
    return c;
}

std::string nmeaSentence(std::string_view body) {
    std::string s;
    s.reserve(body.size() + 6);
    s += '$';
    s += body;
    s += fmt("*%02X\r\n", nmeaChecksum(body));
    return s;
}

int ggaQuality(int solutionType) {
    static const int kQuality[] = {0, 1, 2, 5, 4};
    return solutionType >= 0 && solutionType <= 4 ? kQuality[solutionType] : -1;
}

std::string epochSentences(const TNmeaEpoch& e) {
    std::string out = gga(e) + rmc(e) + gsa(e, false) + gsa(e, true);
    if (e.satellitesGiven)
        out += gsv(e, false) + gsv(e, true);
    return out + vtg(e) + zda(e);
}

std::string noFixSentences() {
    return nmeaSentence("GNGGA,,,,,,0,,,,M,,M,,") + nmeaSentence("GNRMC,,V,,,,,,,,,,N,V") +
           nmeaSentence("GNGSA,A,1,,,,,,,,,,,,,,,,1") + nmeaSentence("GNGSA,A,1,,,,,,,,,,,,,,,,2");
}

} // namespace telvor
