#pragma once
// What the scatter plot computes: the mapping of east/north offsets to pixels, the newest and
// previous dots, statistics texts, grid and tick labels, "Fit all points" and "Target to
// average".
#include "monitor/Numformat.h"
#include "monitor/Plotdata.h"
#include "monitor/Skymap.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvor {

inline constexpr std::uint32_t kNewestDotColour = 0x0000FF;
// "Scatter"/"ColorSA" .. "ColorFX" defaults.
inline constexpr std::array<std::uint32_t, 4> kDefaultClassColours = {0x0000FF, 0x00FF00, 0xFF0000,
                                                                      0xFFFF00};

struct TScatterSettings {
    double width = 10; // m
    double step = 1;   // m
    bool grid = true;
    bool connect = false;
    std::array<bool, 4> show = {true, true, true, true};
    std::array<std::uint32_t, 4> colours = kDefaultClassColours;
};

class TScatterState {
public:
    void setSettings(const TScatterSettings& s) {
        settings_ = s;
        newestPixelKnown_ = false;
        remap();
    }
    const TScatterSettings& settings() const { return settings_; }
    void setPixelSize(int width, int height);
    int pixelWidth() const { return w_; }
    int pixelHeight() const { return h_; }
    // Plot height in metres: the width scaled by the pixel aspect.
    double heightM() const;

    // Pixel of an offset, or nothing outside the plot (the border itself is inside).
    std::optional<TPoint> toPixel(double east, double north) const {
        if (!std::isfinite(east) || !std::isfinite(north) ||
            std::fabs(std::trunc(east)) > halfWidthM_ ||
            std::fabs(std::trunc(north)) > halfHeightM_)
            return std::nullopt;
        // Within a metre of the centre a tiny plot width still gives far-off pixels.
        return TPoint{pixelFrom(-w_ * east / settings_.width + w_ / 2.0),
                      pixelFrom(h_ * north / heightM_ + h_ / 2.0)};
    }

    // Drawing of one new point: the previous newest dot back in its class colour, the joining
    // line (with "Connect"), the new dot in red. Dots are 2 x 2 filled squares at `at`.
    struct TDot {
        TPoint at;
        std::uint32_t colour;
    };
    struct TOps {
        std::optional<TDot> previous;
        std::optional<std::pair<TPoint, TPoint>> line;
        std::uint32_t lineColour = 0;
        std::optional<TDot> newest;
    };
    // Points of a switched-off class are ignored. Every shown point counts once, unless
    // `tally` is false (a redraw that knows the count and means already).
    TOps addPoint(const TPositionEntry& e, bool tally = true);
    // Full redraw, the history a piece at a time after `clear`: draws what `addPoint` would for
    // each entry, less the writes the next shown entry covers at once. A red dot is covered by
    // the class dot of the next one, and a point on the pixel of the one before only redraws
    // the dot there, which the next one draws over again: neither is drawn. `endReplay` draws
    // the newest point's red dot. `dot(at, colour)`, `line(from, to, colour)`.
    template <class Dot, class Line>
    void replayPiece(const TPositionEntry* entries, std::size_t n, bool tally, Dot&& dot,
                     Line&& line);
    template <class Dot> void endReplay(Dot&& dot) const {
        if (hasNewest_ && newestPixel_)
            dot(*newestPixel_, kNewestDotColour);
    }
    // Forget the points (count, means, newest); for "Clear" and full redraws.
    void clear();
    // Full redraw: clear, then every entry oldest first.
    std::vector<TOps> replay(const std::vector<TPositionEntry>& history);

    struct TTally {
        std::uint64_t count = 0;
        double meanEast = 0, meanNorth = 0;
    };
    TTally tally() const { return {count_, meanEast_, meanNorth_}; }
    void setTally(const TTally& t) {
        count_ = t.count;
        meanEast_ = t.meanEast;
        meanNorth_ = t.meanNorth;
    }

    std::uint64_t count() const { return count_; }
    double meanEast() const { return meanEast_; }
    double meanNorth() const { return meanNorth_; }

private:
    // The plot's extent in metres, kept with the settings and the size: a full redraw maps
    // millions of points.
    void remap();
    void countPoint(const TPositionEntry& e) {
        ++count_;
        double n = static_cast<double>(count_);
        meanEast_ = ((n - 1) * meanEast_ + e.east) / n;
        meanNorth_ = ((n - 1) * meanNorth_ + e.north) / n;
    }

    TScatterSettings settings_;
    int w_ = 1, h_ = 1;
    double heightM_ = 10, halfWidthM_ = 5, halfHeightM_ = 5;
    bool hasNewest_ = false;
    TPositionEntry newest_;
    // The newest point's pixel, kept so that each point is mapped once; the mapping changes
    // with the settings and the pixel size.
    std::optional<TPoint> newestPixel_;
    bool newestPixelKnown_ = false;
    std::uint64_t count_ = 0;
    double meanEast_ = 0, meanNorth_ = 0;
};

template <class Dot, class Line>
void TScatterState::replayPiece(const TPositionEntry* entries, std::size_t n, bool tally, Dot&& dot,
                                Line&& line) {
    // Worked on a copy: the compiler must take every pixel write for a possible write to
    // `*this`, and would load the mapping and the newest point from memory at every entry.
    TScatterState s = *this;
    const TPositionEntry* newest = s.hasNewest_ ? &s.newest_ : nullptr;
    for (std::size_t i = 0; i < n; ++i) {
        const TPositionEntry& e = entries[i];
        if (e.fixClass > 3 || !s.settings_.show[e.fixClass])
            continue;
        const std::optional<TPoint> p = s.toPixel(e.east, e.north);
        if (tally)
            s.countPoint(e);
        if (newest) {
            const std::optional<TPoint> q = s.newestPixel_;
            const bool same = p && q && *p == *q;
            if (same) {
                newest = &e;
                continue;
            }
            if (q) {
                dot(*q, s.settings_.colours[newest->fixClass]);
                if (s.settings_.connect && p && !same)
                    line(*q, *p, s.settings_.colours[e.fixClass]);
            }
        }
        newest = &e;
        s.newestPixel_ = p;
    }
    if (newest) {
        s.newest_ = *newest;
        s.newestPixelKnown_ = true;
        s.hasNewest_ = true;
    }
    *this = std::move(s);
}

// Statistic value text: 0..3 decimals by magnitude, then " m".
std::string scatterMetres(double v);
// Control name and text of every statistics label of the scatter window.
std::vector<std::pair<std::string, std::string>> scatterStatistics(const TScatterState& state,
                                                                   const TPlotData& data);

// Decimals of tick labels for a tick interval.
int scatterTickDecimals(double step);
struct TAxisTick {
    int pixel;
    std::string text;
};
struct TScatterGrid {
    std::vector<int> xs, ys;               // grey grid lines (empty when closer than 5 px)
    std::vector<TAxisTick> xTicks, yTicks; // every tick interval on both axes
};
TScatterGrid scatterGrid(const TScatterState& state);

// "Fit all points": the new plot width (rounded to 4 decimals), or nothing when no point of
// a shown class is away from the target.
std::optional<double> fitWidth(const TScatterState& state,
                               const std::vector<TPositionEntry>& history);

// "Target to average": radians in and out.
struct TTargetMove {
    double lat, lon;
};
TTargetMove targetToAverage(double lat, double lon, double meanEast, double meanNorth);

} // namespace telvor
