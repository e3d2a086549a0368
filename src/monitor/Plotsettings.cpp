#include "monitor/Plotsettings.h"

#include "monitor/Numformat.h"
#include "monitor/Plotdata.h"
#include "protocol/Numbers.h"
#include "settings/Profile.h"

#include <charconv>
#include <cstdio>

namespace telvor {
namespace {

constexpr const TStrKey* kColourKeys[4] = {&keys::ScatterColorSA, &keys::ScatterColorCD,
                                           &keys::ScatterColorFL, &keys::ScatterColorFX};
constexpr const TBoolKey* kShowKeys[4] = {&keys::ScatterSA, &keys::ScatterCD, &keys::ScatterFL,
                                          &keys::ScatterFX};

int timeValue(std::string_view text) {
    auto v = parseInteger(text);
    if (!v || *v < 1)
        return 1;
    return *v > 1000000000 ? 1000000000 : static_cast<int>(*v);
}

std::string numberText(double v) {
    return formatFloat(v);
}

} // namespace

std::uint32_t colourFromHex(std::string_view text, std::uint32_t def) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    std::uint32_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 0xFFFFFF)
        return def;
    return v;
}

std::string colourToHex(std::uint32_t colour) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", colour & 0xFFFFFF);
    return buf;
}

TScatterSettings loadScatterSettings(const TProfile& p) {
    TScatterSettings s;
    s.width = p.read(keys::ScatterWidth);
    if (!(s.width > 0))
        s.width = 10;
    s.step = p.read(keys::ScatterStep);
    if (!(s.step > 0))
        s.step = s.width * 0.1;
    s.grid = p.read(keys::ScatterGrid);
    s.connect = p.read(keys::ScatterConnect);
    for (int c = 0; c < 4; ++c) {
        s.show[c] = p.read(*kShowKeys[c]);
        s.colours[c] = colourFromHex(p.read(*kColourKeys[c]), kDefaultClassColours[c]);
    }
    return s;
}

TStripSettings loadStripSettings(const TProfile& p) {
    TStripSettings s;
    s.maxX = p.read(keys::PositionMaxX);
    if (s.maxX <= 1)
        s.maxX = 360;
    s.maxY = p.read(keys::PositionMaxY);
    if (!(s.maxY >= 0))
        s.maxY = 0;
    s.grid = p.read(keys::PositionGrid);
    s.gridX = p.read(keys::PositionGridX);
    if (s.gridX <= 0)
        s.gridX = 30;
    s.gridY = p.read(keys::PositionGridY);
    if (!(s.gridY > 0))
        s.gridY = 0.5;
    return s;
}

int loadHistoryCapacity(const TProfile& p) {
    return TPlotData::capacityFromSetting(p.read(keys::ScatterMaxDots));
}

TPlotPrefsInput plotPrefsInput(const TScatterSettings& scatter, const TStripSettings& strips,
                               int historyLength) {
    TPlotPrefsInput in;
    in.plotWidth = numberText(scatter.width);
    in.tickInterval = numberText(scatter.step);
    in.scatterGrid = scatter.grid;
    in.connect = scatter.connect;
    in.show = scatter.show;
    in.colours = scatter.colours;
    in.timeInterval = std::to_string(strips.maxX);
    in.maxDeviation = numberText(strips.maxY);
    in.timeStep = std::to_string(strips.gridX);
    in.deviationStep = numberText(strips.gridY);
    in.positionGrid = strips.grid;
    in.historyLength = std::to_string(historyLength);
    return in;
}

TPlotPrefsResult validatePlotPrefs(const TPlotPrefsInput& in) {
    TPlotPrefsResult r;
    TPlotPrefs p;
    auto width = parseNumber(in.plotWidth);
    if (!width || *width <= 0) {
        r.error = "Invalid value for Plot width";
        return r;
    }
    auto step = parseNumber(in.tickInterval);
    if (!step || *step <= 0) {
        r.error = "Invalid value for Tick interval";
        return r;
    }
    auto maxY = parseNumber(in.maxDeviation);
    if (!maxY || *maxY < 0) {
        r.error = "Invalid value for Max. difference";
        return r;
    }
    auto gridY = parseNumber(in.deviationStep);
    if (!gridY || *gridY <= 0) {
        r.error = "Invalid value for Deviation step";
        return r;
    }
    p.scatter.width = *width;
    p.scatter.step = *step;
    p.scatter.grid = in.scatterGrid;
    p.scatter.connect = in.connect;
    p.scatter.show = in.show;
    p.scatter.colours = in.colours;
    p.strips.maxX = timeValue(in.timeInterval);
    p.strips.maxY = *maxY;
    p.strips.gridX = timeValue(in.timeStep);
    p.strips.gridY = *gridY;
    p.strips.grid = in.positionGrid;
    p.historyLength = timeValue(in.historyLength);
    r.prefs = p;
    return r;
}

bool savePlotPrefs(TProfile& profile, const TPlotPrefs& p) {
    bool ok = profile.write(keys::ScatterWidth, p.scatter.width);
    ok &= profile.write(keys::ScatterStep, p.scatter.step);
    ok &= profile.write(keys::ScatterGrid, p.scatter.grid);
    ok &= profile.write(keys::ScatterConnect, p.scatter.connect);
    for (int c = 0; c < 4; ++c) {
        ok &= profile.write(*kShowKeys[c], p.scatter.show[c]);
        ok &= profile.write(*kColourKeys[c], colourToHex(p.scatter.colours[c]));
    }
    ok &= profile.write(keys::ScatterMaxDots, p.historyLength);
    ok &= profile.write(keys::PositionMaxX, p.strips.maxX);
    ok &= profile.write(keys::PositionMaxY, p.strips.maxY);
    ok &= profile.write(keys::PositionGrid, p.strips.grid);
    ok &= profile.write(keys::PositionGridX, p.strips.gridX);
    ok &= profile.write(keys::PositionGridY, p.strips.gridY);
    return ok;
}

} // namespace telvor
