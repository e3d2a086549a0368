#include "ntrip/Sourcetable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace telvor {
namespace {

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0;;) {
        const std::size_t semi = line.find(';', at);
        out.push_back(line.substr(at, semi == std::string_view::npos ? semi : semi - at));
        if (semi == std::string_view::npos)
            return out;
        at = semi + 1;
    }
}

std::optional<double> coordinate(std::string_view text, double limit) {
    const std::string s(text.substr(0, 32));
    if (s.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v) || std::fabs(v) > limit)
        return std::nullopt;
    return v;
}

std::string clip(std::string_view s, std::size_t width) {
    std::string out;
    for (char c : s.substr(0, width))
        out += (c >= 32 && c < 127) ? c : '?';
    return out;
}

} // namespace

TSourcetable parseSourcetable(std::string_view text) {
    TSourcetable table;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t eol = text.find('\n', at);
        if (eol == std::string_view::npos)
            eol = text.size();
        std::string_view line = text.substr(at, eol - at);
        at = eol + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line == "ENDSOURCETABLE") {
            table.complete = true;
            break;
        }
        if (line.substr(0, 4) != "STR;")
            continue;
        const auto f = fields(line);
        auto field = [&](std::size_t i) { return std::string(i < f.size() ? f[i] : ""); };
        TStreamEntry e;
        e.mount = field(1);
        if (e.mount.empty())
            continue;
        e.identifier = field(2);
        e.format = field(3);
        e.formatDetails = field(4);
        e.navSystem = field(6);
        e.network = field(7);
        e.country = field(8);
        const auto lat = f.size() > 9 ? coordinate(f[9], 90) : std::nullopt;
        // Some casters give longitudes 0..360.
        const auto lon = f.size() > 10 ? coordinate(f[10], 360) : std::nullopt;
        if (lat && lon && !(*lat == 0 && *lon == 0)) {
            e.hasPosition = true;
            e.latDeg = *lat;
            e.lonDeg = *lon > 180 ? *lon - 360 : *lon;
        }
        e.needsGga = field(11) == "1";
        e.bitrate = field(17);
        table.streams.push_back(std::move(e));
    }
    return table;
}

double distanceKm(const TGeoPoint& a, const TGeoPoint& b) {
    constexpr double kRad = M_PI / 180, kEarthKm = 6371.0;
    const double dLat = (b.latDeg - a.latDeg) * kRad, dLon = (b.lonDeg - a.lonDeg) * kRad;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(a.latDeg * kRad) * std::cos(b.latDeg * kRad) * std::sin(dLon / 2) *
                         std::sin(dLon / 2);
    return 2 * kEarthKm * std::asin(std::min(1.0, std::sqrt(h)));
}

std::string formatSourcetable(const TSourcetable& table, const std::optional<TGeoPoint>& from) {
    std::vector<const TStreamEntry*> rows;
    for (const TStreamEntry& e : table.streams)
        rows.push_back(&e);
    auto km = [&](const TStreamEntry* e) {
        return e->hasPosition && from ? distanceKm(*from, {e->latDeg, e->lonDeg}) : HUGE_VAL;
    };
    if (from)
        std::stable_sort(rows.begin(), rows.end(), [&](auto* a, auto* b) { return km(a) < km(b); });
    char line[256];
    std::snprintf(line, sizeof line, "%-16s %-20s %-12s %-10s %-10s %-4s %17s%s\n", "Mountpoint",
                  "Identifier", "Format", "Systems", "Network", "Cty", "Position",
                  from ? "  Distance" : "");
    std::string out = line;
    for (const TStreamEntry* e : rows) {
        char position[40] = "";
        if (e->hasPosition)
            std::snprintf(position, sizeof position, "%.2f %.2f", e->latDeg, e->lonDeg);
        char distance[24] = "";
        if (from && e->hasPosition)
            std::snprintf(distance, sizeof distance, "  %6.1f km", km(e));
        std::snprintf(line, sizeof line, "%-16s %-20s %-12s %-10s %-10s %-4s %17s%s\n",
                      clip(e->mount, 16).c_str(), clip(e->identifier, 20).c_str(),
                      clip(e->format, 12).c_str(), clip(e->navSystem, 10).c_str(),
                      clip(e->network, 10).c_str(), clip(e->country, 4).c_str(), position,
                      distance);
        out += line;
    }
    return out;
}

} // namespace telvor
