#pragma once
// Settings of the position and scatter plots: reading them with their fallbacks, and the
// "Apply" rules of the preferences window `TPlotPrefsForm`.
#include "monitor/Scattermath.h"
#include "monitor/Stripmath.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace telvor {

class TProfile;

// Colour from hexadecimal text; `def` when the text is not hexadecimal.
std::uint32_t colourFromHex(std::string_view text, std::uint32_t def);
std::string colourToHex(std::uint32_t colour);

TScatterSettings loadScatterSettings(const TProfile& profile);
TStripSettings loadStripSettings(const TProfile& profile);
// "Scatter"/"MaxDots" as the store's starting capacity.
int loadHistoryCapacity(const TProfile& profile);

// The preferences window's fields as typed.
struct TPlotPrefsInput {
    std::string plotWidth, tickInterval; // scatter, m
    bool scatterGrid = true, connect = false;
    std::array<bool, 4> show = {true, true, true, true};
    std::array<std::uint32_t, 4> colours = kDefaultClassColours;
    std::string timeInterval, maxDeviation; // position: s, m
    std::string timeStep, deviationStep;    // s, m
    bool positionGrid = true;
    std::string historyLength;
};

struct TPlotPrefs {
    TScatterSettings scatter;
    TStripSettings strips;
    int historyLength = 3600; // before the store's resize rule
};

// Filled from the current settings (the window's initial state).
TPlotPrefsInput plotPrefsInput(const TScatterSettings& scatter, const TStripSettings& strips,
                               int historyLength);

// "Apply": the values, or the message of the first invalid field ("Invalid value for Plot
// width", ... ); time values are integers raised to at least 1.
struct TPlotPrefsResult {
    std::optional<TPlotPrefs> prefs;
    std::string error;
};
TPlotPrefsResult validatePlotPrefs(const TPlotPrefsInput& input);

// Writes every key of both plots. False when a write failed.
bool savePlotPrefs(TProfile& profile, const TPlotPrefs& prefs);

} // namespace telvor
