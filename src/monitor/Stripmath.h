#pragma once
// What the position plot computes: two strips ("Latitude" with the north offsets,
// "Longtitude" with the east offsets) against the last "MaxX" seconds, their scales, grid
// lines, labels and the track pieces of each fix.
#include "monitor/Plotdata.h"
#include "monitor/Scattermath.h"
#include "monitor/Skymap.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace telvor {

struct TStripSettings {
    int maxX = 360;  // time span, s
    double maxY = 0; // largest deviation shown, m; 0 = automatic
    bool grid = true;
    int gridX = 30;     // s
    double gridY = 0.5; // m
};

struct TRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Decimals of the scale labels for a deviation step.
int stripLabelDecimals(double step);

struct TStrip {
    std::string title;
    TRect area;
    double scale = 0; // +/- metres at the top and bottom edges
    std::vector<int> gridXs, gridYs;
    std::vector<TAxisTick> scaleLabels; // y pixel and text, 0 and every step within the scale
    // Lines between fixes one second apart, single pixels otherwise; clipped to the area.
    struct TPiece {
        TPoint from, to;
        std::uint32_t colour;
        bool pixel;
    };
    std::vector<TPiece> pieces;
};

struct TStripPlot {
    TStrip upper, lower;
    std::vector<TAxisTick> timeLabels; // "MaxX", half of it, "0"; x pixels
    std::string timeUnit = "s";
};

// The +/- metres of a strip: "MaxY", or when that is 0 the largest absolute offset (north
// or east) among the entries of the span ending at `now`.
double stripScale(const TStripSettings& settings, const TPositionEntry* begin,
                  const TPositionEntry* end, std::uint32_t now, bool north);

// Room for the scale labels, in pixels: a column right of the strips (so that no label covers
// a track), and the height of one label (labels then stand at least that far apart: every
// step, every second step, ...; 0 labels every step).
struct TStripLabelRoom {
    int column = 0;
    int height = 0;
};

// `now` is the store's time stamp of the right edge.
TStripPlot computeStrips(const TStripSettings& settings, int width, int height,
                         const std::vector<TPositionEntry>& history, std::uint32_t now,
                         const std::array<std::uint32_t, 4>& colours, TStripLabelRoom labels = {});

} // namespace telvor
