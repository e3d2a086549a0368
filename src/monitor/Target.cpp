#include "monitor/Target.h"

#include "monitor/Body.h"
#include "monitor/Numformat.h"
#include "monitor/Plotdata.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"

#include <chrono>
#include <thread>

#include <cmath>

namespace telvor {
namespace {

double fieldValue(const std::string& text) {
    return parseNumber(text).value_or(0);
}

double anglePart(const std::string& d, const std::string& m, const std::string& s, double limit) {
    double deg = fieldValue(d) + fieldValue(m) / 60 + fieldValue(s) / 3600;
    // Only values past the pole or date line wrap: 90 and 180 are valid as typed.
    if (std::fabs(deg) > limit)
        deg = std::fmod(deg, limit);
    return deg;
}

} // namespace

TTargetFields targetFields(double lat, double lon) {
    TTargetFields f;
    TDms a = formatAngleDms(lat, false, 5);
    TDms b = formatAngleDms(lon, true, 5);
    f.latD = std::to_string(a.degrees);
    f.latM = std::to_string(a.minutes);
    f.latS = formatFixed(a.seconds, 7, 5);
    f.lonD = std::to_string(b.degrees);
    f.lonM = std::to_string(b.minutes);
    f.lonS = formatFixed(b.seconds, 7, 5);
    f.latHemisphere = a.letter == 'S';
    f.lonHemisphere = b.letter == 'W';
    return f;
}

TLatLon targetFromFields(const TTargetFields& f) {
    double lat = anglePart(f.latD, f.latM, f.latS, 90);
    double lon = anglePart(f.lonD, f.lonM, f.lonS, 180);
    if (f.latHemisphere == 1)
        lat = -lat;
    if (f.lonHemisphere == 1)
        lon = -lon;
    return {lat * kPi / 180, lon * kPi / 180};
}

std::optional<TLatLon> positionOfPg(const std::uint8_t* m, std::size_t length) {
    if (length < kHeaderSize || m[0] != 'P' || m[1] != 'G')
        return std::nullopt;
    TBody body(m, length);
    TLatLon p;
    if (!body.read(0, p.lat) || !body.read(8, p.lon) || !std::isfinite(p.lat) ||
        !std::isfinite(p.lon))
        return std::nullopt;
    return p;
}

std::optional<TLatLon> awaitNewFix(const TPlotData& data, std::uint64_t afterSequence,
                                   int timeoutMs, const std::function<void()>& pump) {
    const std::uint32_t start = tickCount();
    for (;;) {
        TPlotData::TLastFix fix = data.lastFix();
        if (fix.sequence > afterSequence)
            return TLatLon{fix.lat, fix.lon};
        if (ticksSince(start) >= static_cast<std::uint32_t>(timeoutMs))
            return std::nullopt;
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TQueryResult queryTargetFromReceiver(TPositionSource& source) {
    TQueryResult r;
    if (!source.linkOpen()) {
        r.status = "Receiver didn't reply with position";
        return r;
    }
    if (source.monitoring())
        source.clearInput();
    else
        source.sendLine("out,,vxr/PG");
    r.position = source.awaitPosition(2000);
    if (!r.position)
        r.status = "Receiver didn't reply with position";
    return r;
}

} // namespace telvor
