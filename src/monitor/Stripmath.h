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

// `now` is the store's time stamp of the right edge.
TStripPlot computeStrips(const TStripSettings& settings, int width, int height,
                         const std::vector<TPositionEntry>& history, std::uint32_t now,
                         const std::array<std::uint32_t, 4>& colours);

} // namespace telvor
