#pragma once
// Everything the satellites (sky) plot computes, apart from drawing: the polar projection,
// satellite colours and names, tracks and markers from the satellite-view history, the
// elevation grid labels, the signal bars, status texts and the satellite hint.
#include "monitor/Plotdata.h"
#include "monitor/Satview.h"
#include "monitor/Skyhistory.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

struct TPoint {
    int x = 0, y = 0;
    bool operator==(const TPoint&) const = default;
};

// Colours are 0x00BBGGRR.
inline constexpr std::uint32_t kGridColour = 0xC0C0C0;
inline constexpr std::uint32_t kMaskColour = 0xFF00FF;
inline constexpr std::uint32_t kUnhealthyColour = 0x0000FF;
inline constexpr int kRed(std::uint32_t c) {
    return c & 0xFF;
}
inline constexpr int kGreen(std::uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline constexpr int kBlue(std::uint32_t c) {
    return (c >> 16) & 0xFF;
}

// Elevation 90 at the centre, north up, east right; pixels by truncation.
struct TSkyGeometry {
    int cx = 0, cy = 0, radius = 0;

    static TSkyGeometry forSize(int width, int height);
    int radiusAt(double elevation) const;
    TPoint point(double elevation, double azimuth) const;
    // Radius of the elevation-mask circle.
    int maskRadius(int mask) const { return radiusAt(mask); }
};

// Table index of a satellite: GPS PRN - 1 (0..36), GLONASS slot + 36 (37..60); -1 outside.
int satelliteIndex(bool glonass, int number);
inline bool isGlonassIndex(int index) {
    return index >= TSkyHistory::kFirstGlonass;
}
std::uint32_t satelliteColour(int index);
// "G" + PRN, "R" + slot.
std::string satelliteName(int index);

// Navigation status texts of the hint and the swatch.
std::string navigationStatusText(int code);
inline bool statusUnhealthy(int code) {
    return code == 6 || (code >= 10 && code <= 12);
}
inline bool statusExcluded(int code) {
    return code == 13 || code == 14;
}

// Grid labels of the elevation circles 80..10 that fit without overlapping the previous one.
struct TGridLabel {
    int elevation;
    std::string text;
    TPoint right, left; // text origins
};
std::vector<TGridLabel> skyGridLabels(const TSkyGeometry& g,
                                      const std::function<int(const std::string&)>& textWidth);

class TSkyTracks {
public:
    static constexpr int kIndices = TSkyHistory::kIndices;

    struct TSatState {
        bool present = false;     // in the latest view of its system
        bool hasPosition = false; // a marker is drawn
        TPoint position;
        std::int8_t frequency = 0;
        std::uint8_t elevation = 0;
        std::uint16_t azimuth = 0;
        std::uint8_t ca = 0, p1 = 0, p2 = 0, status = 0;
    };
    // A track piece: a line from `from` to `to`, or one pixel at `to`.
    struct TStroke {
        int index;
        std::uint32_t colour;
        TPoint from, to;
        bool pixel;
    };

    void setGeometry(const TSkyGeometry& g);
    const TSkyGeometry& geometry() const { return geometry_; }
    // Forgets every current position (background redraw).
    void clear();
    // One view: updates the satellites of its system, appends the track pieces; true when a
    // position changed (the overlay must be redrawn).
    bool apply(const TSatData& view, std::vector<TStroke>* strokes);
    // Full redraw: clear, the track pieces of the history oldest first into `draw`, then the
    // newest view of each system for the markers. The pieces are those `apply` gives for
    // every view in turn.
    void replay(const TSkyHistory& history, const std::function<void(const TStroke&)>& draw);

    const TSatState& state(int index) const { return sats_[static_cast<std::size_t>(index)]; }
    // Indices with a marker, in table order.
    std::vector<int> markers() const;
    // Vertical offset of a marker's name below its centre.
    static int nameOffset(int index) { return isGlonassIndex(index) ? 10 : 6; }

    // Marker within 5 px on both axes: the left button takes the lowest index, the right the
    // highest.
    std::optional<int> hitTest(int x, int y, bool rightButton) const;

private:
    TSkyGeometry geometry_;
    std::array<TSatState, kIndices> sats_{};
};

// The satellite hint: control name to text; "FnLabel" only for GLONASS.
std::vector<std::pair<std::string, std::string>> satelliteHint(const TSkyTracks& tracks, int index);

// The signal bar panel under the sky plot.
struct TSignalBar {
    int index;
    std::string name;
    bool nameRed; // unhealthy
    int ca;       // 0..60 dB-Hz drawn
    std::string caText;
    std::uint32_t colour;
    std::string statusHint;
    bool checked; // not excluded by the user
};
struct TSignalPanel {
    static constexpr int kSlots = 20;
    std::vector<TSignalBar> bars; // at most kSlots, GPS first, by table index
    std::string countLabel;       // total=GPS+GLONASS
    std::string gdop, pdop, vdop, hdop;
};
TSignalPanel signalPanel(const TSkyTracks& tracks, const TDops& dops);
// Bottom of the bar's white cover: the blue part below it grows with the C/A value.
int barCoverBottom(int ca, int top, int bottom);
// Command of a bar's check box ("%%set,/par/pos/gps/sat/5,on").
std::string satelliteSwitchCommand(const std::string& name, bool checked);

} // namespace telvor
