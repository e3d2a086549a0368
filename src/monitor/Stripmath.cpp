#include "monitor/Stripmath.h"

#include "monitor/Numformat.h"

#include <algorithm>
#include <cmath>

namespace telvor {
namespace {

constexpr int kMargin = 8;

bool withinSpan(const TStripSettings& cfg, const TPositionEntry& e, std::uint32_t now) {
    return e.time <= now && now - e.time <= static_cast<std::uint32_t>(std::max(1, cfg.maxX));
}

void fillStrip(TStrip& s, const TStripSettings& cfg, const std::vector<TPositionEntry>& history,
               std::uint32_t now, const std::array<std::uint32_t, 4>& colours, bool north,
               int labelHeight) {
    const int span = std::max(1, cfg.maxX);
    auto inSpan = [&](const TPositionEntry& e) { return withinSpan(cfg, e, now); };
    auto value = [&](const TPositionEntry& e) { return north ? e.north : e.east; };

    s.scale = stripScale(cfg, history.data(), history.data() + history.size(), now, north);

    const TRect& a = s.area;
    const double mid = (a.top + a.bottom) / 2.0, half = a.height() / 2.0;
    auto xOf = [&](std::uint32_t t) {
        return pixelFrom(a.right - double(now - t) * a.width() / span);
    };
    auto yOf = [&](double v) {
        // A fixed scale may be far smaller than a value.
        return pixelFrom(mid - (s.scale > 0 ? v / s.scale * half : 0));
    };

    if (cfg.grid && cfg.gridX > 0 && double(cfg.gridX) * a.width() / span > 4)
        for (int t = 0; t <= span; t += cfg.gridX)
            s.gridXs.push_back(static_cast<int>(a.right - double(t) * a.width() / span));

    const int decimals = stripLabelDecimals(cfg.gridY);
    s.scaleLabels.push_back({static_cast<int>(mid), formatFixed(0, 10, decimals)});
    if (cfg.gridY > 0 && s.scale > 0 && s.scale / cfg.gridY <= a.height()) {
        double px = cfg.gridY / s.scale * half;
        // Labels on every stride-th line only, so that neighbours never touch.
        const int stride =
            labelHeight > 0 ? std::max(1, static_cast<int>(std::ceil((labelHeight + 2) / px))) : 1;
        for (int k = 1; k * cfg.gridY <= s.scale + 1e-9; ++k) {
            double v = k * cfg.gridY;
            for (int sign : {1, -1}) {
                int y = yOf(sign * v);
                if (cfg.grid && px >= 5)
                    s.gridYs.push_back(y);
                if (k % stride == 0)
                    s.scaleLabels.push_back({y, formatFixed(sign * v, 10, decimals)});
            }
        }
    }

    const TPositionEntry* prev = nullptr;
    for (const auto& e : history) {
        if (!inSpan(e) || !std::isfinite(value(e))) {
            prev = nullptr;
            continue;
        }
        TPoint p{xOf(e.time), yOf(value(e))};
        bool inside = p.x >= a.left && p.x <= a.right && p.y >= a.top && p.y <= a.bottom;
        std::uint32_t colour = colours[e.fixClass & 3];
        if (prev && e.time == prev->time + 1) {
            TPoint q{xOf(prev->time), yOf(value(*prev))};
            auto clampPt = [&](TPoint t) {
                return TPoint{std::clamp(t.x, a.left, a.right), std::clamp(t.y, a.top, a.bottom)};
            };
            s.pieces.push_back({clampPt(q), clampPt(p), colour, false});
        } else if (inside) {
            s.pieces.push_back({p, p, colour, true});
        }
        prev = &e;
    }
}

} // namespace

int stripLabelDecimals(double step) {
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    long f = static_cast<long>(std::floor((step - std::floor(step)) * 10000));
    if (f == 0)
        return 0;
    if (f > 4000)
        return 1;
    if (f > 400)
        return 2;
    if (f > 40)
        return 3;
    return 4;
}

double stripScale(const TStripSettings& cfg, const TPositionEntry* begin, const TPositionEntry* end,
                  std::uint32_t now, bool north) {
    double scale = cfg.maxY;
    if (scale == 0)
        for (const TPositionEntry* e = begin; e != end; ++e) {
            const double v = north ? e->north : e->east;
            if (withinSpan(cfg, *e, now) && std::isfinite(v))
                scale = std::max(scale, std::fabs(v));
        }
    return scale;
}

TStripPlot computeStrips(const TStripSettings& cfg, int width, int height,
                         const std::vector<TPositionEntry>& history, std::uint32_t now,
                         const std::array<std::uint32_t, 4>& colours, TStripLabelRoom labels) {
    TStripPlot plot;
    int inner = std::max(0, height - 3 * kMargin);
    int stripH = inner / 2;
    const int right = std::max(kMargin, width - kMargin - std::max(0, labels.column));
    plot.upper.title = "Latitude";
    plot.upper.area = {kMargin, kMargin, right, kMargin + stripH};
    plot.lower.title = "Longtitude";
    plot.lower.area = {kMargin, 2 * kMargin + stripH, right, 2 * kMargin + 2 * stripH};
    fillStrip(plot.upper, cfg, history, now, colours, true, labels.height);
    fillStrip(plot.lower, cfg, history, now, colours, false, labels.height);

    const int span = std::max(1, cfg.maxX);
    const TRect& a = plot.lower.area;
    plot.timeLabels = {{a.left, std::to_string(span)},
                       {a.left + a.width() / 2, std::to_string(span / 2)},
                       {a.right, "0"}};
    return plot;
}

} // namespace telvor
