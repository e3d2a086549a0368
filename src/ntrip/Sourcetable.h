#pragma once
// A caster's sourcetable: the STR lines that name its streams, and their distance from the
// rover.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

struct TStreamEntry {
    std::string mount, identifier, format, formatDetails, navSystem, network, country;
    bool hasPosition = false; // the table gave a latitude and longitude
    double latDeg = 0, lonDeg = 0;
    bool needsGga = false; // the caster wants the rover's position ("nmea" field 1)
    std::string bitrate;
};

struct TSourcetable {
    std::vector<TStreamEntry> streams;
    bool complete = false; // "ENDSOURCETABLE" seen
};

TSourcetable parseSourcetable(std::string_view text);

struct TGeoPoint {
    double latDeg = 0, lonDeg = 0;
};

// Great-circle distance in km on a sphere of the Earth's mean radius.
double distanceKm(const TGeoPoint& a, const TGeoPoint& b);

// The table as text: mountpoint, identifier, format, systems, network, country, position and,
// from `from`, the distance (nearest first then).
std::string formatSourcetable(const TSourcetable& table, const std::optional<TGeoPoint>& from);

} // namespace telvor
