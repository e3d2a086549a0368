#pragma once
// The target point of the monitor and the rules of the target position window
// (`TTargetPositionForm`): showing the target as degrees, minutes and seconds, taking a
// position from the receiver, and reading the typed values back.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace telvor {

// Kept by the main window; radians. The capture flag makes the next "PG" the target.
struct TTargetPoint {
    double lat = 0;
    double lon = 0;
    bool capture = false;
};

// The texts of the window's edits and the hemisphere boxes.
struct TTargetFields {
    std::string latD, latM, latS, lonD, lonM, lonS;
    int latHemisphere = 0; // `LatComboBox`: 0 north, 1 south
    int lonHemisphere = 0; // `LonComboBox`: 0 east, 1 west
};

// On opening: degrees and minutes as integers, seconds fixed with 5 decimals.
TTargetFields targetFields(double lat, double lon);

// "OK": degrees + minutes / 60 + seconds / 3600 (a text that is not a number reads as 0),
// past the pole or date line wrapped, negated for south or west; radians.
struct TLatLon {
    double lat = 0;
    double lon = 0;
};
TLatLon targetFromFields(const TTargetFields& fields);

// Latitude and longitude of a "PG" message (its first two float64), if it holds them.
std::optional<TLatLon> positionOfPg(const std::uint8_t* message, std::size_t length);

// What "Get from receiver" needs from the session.
class TPositionSource {
public:
    virtual ~TPositionSource() = default;
    virtual bool linkOpen() = 0;
    virtual bool monitoring() = 0;
    // Monitor mode: empties the link's shared input buffer.
    virtual void clearInput() = 0;
    // Sends a command line without waiting for its reply.
    virtual void sendLine(const std::string& line) = 0;
    // Waits up to `timeoutMs` for the next "PG" position. Idle mode: the reply buffer
    // (positionOfPg); monitor mode: the plot store's newest fix (awaitNewFix).
    virtual std::optional<TLatLon> awaitPosition(int timeoutMs) = 0;
};

class TPlotData;
// Waits until the plot store has seen a "PG" after `afterSequence`, pumping events between
// looks; nothing after `timeoutMs`.
std::optional<TLatLon> awaitNewFix(const TPlotData& data, std::uint64_t afterSequence,
                                   int timeoutMs, const std::function<void()>& pump);

struct TQueryResult {
    std::optional<TLatLon> position;
    std::string status; // status bar text on failure
};

// `QueryButton`: in monitor mode the input is emptied, otherwise "out,,vxr/PG" is sent; then
// up to 2000 ms for a "PG".
TQueryResult queryTargetFromReceiver(TPositionSource& source);

} // namespace telvor
