#include "monitor/Scattermath.h"

#include "monitor/Numformat.h"

#include <cmath>

namespace telvor {

void TScatterState::setPixelSize(int width, int height) {
    w_ = std::max(1, width);
    h_ = std::max(1, height);
    newestPixelKnown_ = false;
    remap();
}

void TScatterState::remap() {
    heightM_ = settings_.width * h_ / w_;
    halfWidthM_ = settings_.width / 2;
    halfHeightM_ = heightM_ / 2;
}

double TScatterState::heightM() const {
    return heightM_;
}

TScatterState::TOps TScatterState::addPoint(const TPositionEntry& e, bool tally) {
    TOps ops;
    if (e.fixClass > 3 || !settings_.show[e.fixClass])
        return ops;
    auto p = toPixel(e.east, e.north);
    if (hasNewest_) {
        const std::optional<TPoint> q =
            newestPixelKnown_ ? newestPixel_ : toPixel(newest_.east, newest_.north);
        if (q)
            ops.previous = TDot{*q, settings_.colours[newest_.fixClass]};
        if (settings_.connect && p && q) {
            ops.line = std::make_pair(*q, *p);
            ops.lineColour = settings_.colours[e.fixClass];
        }
    }
    if (p)
        ops.newest = TDot{*p, kNewestDotColour};
    newest_ = e;
    newestPixel_ = p;
    newestPixelKnown_ = true;
    hasNewest_ = true;
    if (tally)
        countPoint(e);
    return ops;
}

void TScatterState::clear() {
    hasNewest_ = false;
    count_ = 0;
    meanEast_ = meanNorth_ = 0;
}

std::vector<TScatterState::TOps> TScatterState::replay(const std::vector<TPositionEntry>& h) {
    clear();
    std::vector<TOps> out;
    out.reserve(h.size());
    for (const auto& e : h)
        out.push_back(addPoint(e));
    return out;
}

std::string scatterMetres(double v) {
    if (!std::isfinite(v))
        return {};
    double a = std::fabs(v);
    int decimals = a >= 1000 ? 0 : a >= 100 ? 1 : a >= 10 ? 2 : 3;
    return formatFixed(v, 10, decimals) + " m";
}

std::vector<std::pair<std::string, std::string>> scatterStatistics(const TScatterState& state,
                                                                   const TPlotData& data) {
    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("MaxETTLabel", scatterMetres(data.maxAbsEast()));
    out.emplace_back("MaxNTTLabel", scatterMetres(data.maxAbsNorth()));
    out.emplace_back("AvgETTLabel", scatterMetres(state.meanEast()));
    out.emplace_back("AvgNTTLabel", scatterMetres(state.meanNorth()));
    out.emplace_back("TotalLabel", std::to_string(state.count()));
    auto counts = data.classCounts();
    std::uint64_t sum = counts[0] + counts[1] + counts[2] + counts[3];
    for (int c = 0; c < 4; ++c)
        out.emplace_back(std::string(kFixClassKeys[c]) + "Label",
                         std::to_string(sum ? counts[c] * 100 / sum : 0) + "%");
    TPositionMeans m = data.means();
    out.emplace_back("PosLatLabel", dmsText(m.lat, false));
    out.emplace_back("PosLonLabel", dmsText(m.lon, true));
    // These labels have no text of their own for an unknown value: they stay empty.
    auto metres = [](double v) { return fixedText(v, 10, 4, " m", ""); };
    out.emplace_back("PosAltLabel", metres(m.height));
    TSigmas s = data.sigmas();
    auto rms = [&](double a, double b) { return metres(std::sqrt(a * a + b * b)); };
    out.emplace_back("RMShposLabel", metres(s.hPos));
    out.emplace_back("RMSvposLabel", metres(s.vPos));
    out.emplace_back("RMSPosLabel", rms(s.hPos, s.vPos));
    out.emplace_back("RMShvelLabel", metres(s.hVel));
    out.emplace_back("RMSvvelLabel", metres(s.vVel));
    out.emplace_back("RMSVelLabel", rms(s.hVel, s.vVel));
    return out;
}

int scatterTickDecimals(double step) {
    long c = std::lround((step - std::floor(step)) * 10000);
    if (c == 0 || c == 10000)
        return 0;
    if (c % 1000 == 0)
        return 1;
    if (c % 100 == 0)
        return 2;
    if (c % 10 == 0)
        return 3;
    return 4;
}

TScatterGrid scatterGrid(const TScatterState& state) {
    TScatterGrid g;
    const auto& s = state.settings();
    double step = s.step;
    int w = state.pixelWidth(), h = state.pixelHeight();
    double width = s.width, height = state.heightM();
    if (!(step > 0) || !(width > 0))
        return g;
    double pxX = w * step / width, pxY = h * step / height;
    int decimals = scatterTickDecimals(step);
    // Never more lines than pixels, whatever the settings say.
    auto walk = [&](double px, int size, double extent, std::vector<int>& lines,
                    std::vector<TAxisTick>& ticks, int sign) {
        if (!(px > 0) || extent / step > size)
            return;
        for (int k = -static_cast<int>(extent / 2 / step); k <= static_cast<int>(extent / 2 / step);
             ++k) {
            int pixel = static_cast<int>(size / 2.0 + sign * k * px);
            if (s.grid && px >= 5 && k != 0)
                lines.push_back(pixel);
            ticks.push_back({pixel, formatFixed(k * step, 10, decimals)});
        }
    };
    walk(pxX, w, width, g.xs, g.xTicks, 1);
    walk(pxY, h, height, g.ys, g.yTicks, -1);
    return g;
}

std::optional<double> fitWidth(const TScatterState& state,
                               const std::vector<TPositionEntry>& history) {
    double a = 0;
    for (const auto& e : history)
        if (e.fixClass <= 3 && state.settings().show[e.fixClass])
            a = std::max({a, std::fabs(e.east), std::fabs(e.north)});
    if (a == 0 || !std::isfinite(a))
        return std::nullopt;
    double w = state.pixelWidth(), h = state.pixelHeight();
    double width = h >= w ? 2 * a * 1.1 : w * (2 * a * 1.1) / h;
    return std::round(width * 10000) / 10000;
}

TTargetMove targetToAverage(double lat, double lon, double meanEast, double meanNorth) {
    double newLat = lat - meanNorth / kEarthRadius;
    double newLon = lon - meanEast / (kEarthRadius * std::cos((lat + newLat) / 2));
    return {newLat, newLon};
}

} // namespace telvor
