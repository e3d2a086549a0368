#include "monitor/Skymap.h"

#include "monitor/Numformat.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace telvor {

TSkyGeometry TSkyGeometry::forSize(int width, int height) {
    return {width / 2, height / 2, std::min(width, height) / 2};
}

int TSkyGeometry::radiusAt(double elevation) const {
    return static_cast<int>(radius * (90 - elevation) / 90);
}

TPoint TSkyGeometry::point(double elevation, double azimuth) const {
    double r = radius * (90 - elevation) / 90;
    double a = azimuth * kPi / 180;
    return {static_cast<int>(cx + std::sin(a) * r), static_cast<int>(cy - std::cos(a) * r)};
}

int satelliteIndex(bool glonass, int number) {
    if (glonass)
        return number >= 1 && number <= 24 ? number + 36 : -1;
    return number >= 1 && number <= 37 ? number - 1 : -1;
}

std::uint32_t satelliteColour(int index) {
    if (index < 0 || index >= TSkyTracks::kIndices)
        return 0;
    if (!isGlonassIndex(index)) {
        static constexpr int greens[] = {0, 127, 159, 191, 223};
        std::uint32_t blue = 127 + 16 * (index % 9);
        std::uint32_t green = greens[index / 9];
        return blue << 16 | green << 8;
    }
    int j = index - 37;
    static constexpr int greens[] = {0, 127, 191};
    std::uint32_t red = 127 + 16 * (j % 9);
    std::uint32_t green = greens[j / 9];
    return green << 8 | red;
}

std::string satelliteName(int index) {
    if (index < 0 || index >= TSkyTracks::kIndices)
        return "?";
    return isGlonassIndex(index) ? "R" + std::to_string(index - 36)
                                 : "G" + std::to_string(index + 1);
}

std::string navigationStatusText(int code) {
    if (code < 0 || code > 63)
        return "Unknown status " + std::to_string(code);
    switch (code) {
    case 0:
        return "CA data used for position computation";
    case 1:
        return "P1 data used for position computation";
    case 2:
        return "P2 data used for position computation";
    case 3:
        return "Ionosphere-free combination used for position computation";
    case 4:
        return "Measurements are not available";
    case 5:
        return "Ephemeris is not available";
    case 6:
        return "Unhealthy SV [as follows from ephemeris SV health indicator]";
    case 7:
        return "Time-Frequency parameters from the ephemeris data set may be wrong";
    case 8:
        return "Initial conditions (position and velocity vectors) from the ephemeris data set "
               "may be wrong";
    case 9:
        return "Almanac SV health indicator is not available for this satellite";
    case 10:
        return "Unhealthy SV [as follows from the almanac SV health indicator]";
    case 11:
        return "'Alert' flag (from the word 'HOW') is set";
    case 12:
        return "URA indicates the absence of accuracy prediction for this SV";
    case 13:
        return "This SV is excluded from position computation by the user";
    case 14:
        return "SV with this frequency channel number is excluded from position computation by "
               "the user";
    case 15:
        return "This SV is excluded from solution since its system number is unknown";
    case 16:
        return "This SV has elevation lower than the specified elevation mask";
    case 17:
        return "Unknown";
    case 18:
        return "Ephemeris data is too old";
    case 19:
        return "This SV does not belong to the constellation the user has selected";
    case 20:
        return "Differential data from Base Station are notavailable";
    case 22:
        return "Wrong measurements have been detected by RAIM";
    case 23:
        return "SNR below specified minimum level";
    case 26:
        return "DLL is not settled";
    case 27:
        return "Ionospheric corrections are not received from base";
    case 28:
        return "Coarse code outlier has been detected";
    case 30:
    case 31:
        return "SV is not used in RTK processing";
    case 51:
        return "C/A slot is used in RTK processing";
    case 52:
        return "P L1 slot is used in RTK processing";
    case 53:
        return "P L2 slot is used in RTK processing";
    case 54:
        return "P L1 & P L2 measurements are used in RTK processing";
    case 55:
        return "C/A & P L2 measurements are used in RTK processing";
    case 63:
        return "Satellite navigation status is undefined";
    default:
        return "Reserved";
    }
}

std::vector<TGridLabel> skyGridLabels(const TSkyGeometry& g,
                                      const std::function<int(const std::string&)>& textWidth) {
    std::vector<TGridLabel> out;
    int lastRight = 0;
    bool any = false;
    for (int e = 80; e >= 10; e -= 10) {
        std::string text = std::to_string(e);
        int w = textWidth(text);
        int r = g.radiusAt(e);
        TPoint right{g.cx + r - w / 2, g.cy + 3};
        if (any && right.x < lastRight)
            continue;
        out.push_back({e, text, right, {g.cx - r - w / 2, g.cy + 3}});
        lastRight = right.x + w;
        any = true;
    }
    return out;
}

void TSkyTracks::setGeometry(const TSkyGeometry& g) {
    geometry_ = g;
    clear();
}

void TSkyTracks::clear() {
    for (auto& s : sats_) {
        s.hasPosition = false;
        s.present = false;
    }
}

bool TSkyTracks::apply(const TSatData& view, std::vector<TStroke>* strokes) {
    std::array<TSatState, kIndices> before = sats_;
    int first = view.glonass ? 37 : 0, last = view.glonass ? 60 : 36;
    for (int i = first; i <= last; ++i) {
        sats_[static_cast<std::size_t>(i)].hasPosition = false;
        sats_[static_cast<std::size_t>(i)].present = false;
    }
    for (const TSatEntry& e : view.entries) {
        int index = satelliteIndex(view.glonass, e.number);
        if (index < 0)
            continue;
        TSatState& s = sats_[static_cast<std::size_t>(index)];
        s.present = true;
        s.frequency = e.frequency;
        s.elevation = e.elevation;
        s.azimuth = e.azimuth;
        s.ca = e.ca;
        s.p1 = e.p1;
        s.p2 = e.p2;
        s.status = e.status;
        bool placed = e.azimuth != 0 || e.elevation != 0;
        TPoint p = geometry_.point(e.elevation, e.azimuth);
        s.hasPosition = placed;
        s.position = placed ? p : TPoint{};
        const TSatState& prev = before[static_cast<std::size_t>(index)];
        if (prev.hasPosition && placed && prev.position == p)
            continue;
        if (!strokes || !placed)
            continue;
        std::uint32_t colour = satelliteColour(index);
        if (prev.hasPosition)
            strokes->push_back({index, colour, prev.position, p, false});
        else
            strokes->push_back({index, colour, p, p, true});
    }
    for (int i = 0; i < kIndices; ++i) {
        const auto& a = before[static_cast<std::size_t>(i)];
        const auto& b = sats_[static_cast<std::size_t>(i)];
        if (a.hasPosition != b.hasPosition || (b.hasPosition && !(a.position == b.position)))
            return true;
    }
    return false;
}

void TSkyTracks::replay(const TSkyHistory& history,
                        const std::function<void(const TStroke&)>& draw) {
    clear();
    // A month of runs would take a sine and a cosine each: whole degrees come from tables,
    // computed the way `point` does so that the pixels are the same.
    std::array<double, 360> sines, cosines;
    for (int a = 0; a < 360; ++a) {
        sines[static_cast<std::size_t>(a)] = std::sin(a * kPi / 180);
        cosines[static_cast<std::size_t>(a)] = std::cos(a * kPi / 180);
    }
    const TSkyGeometry& g = geometry_;
    auto place = [&](int elevation, int azimuth) {
        if (azimuth >= 360)
            return g.point(elevation, azimuth);
        const double r = g.radius * (90 - static_cast<double>(elevation)) / 90;
        const auto a = static_cast<std::size_t>(azimuth);
        return TPoint{static_cast<int>(g.cx + sines[a] * r),
                      static_cast<int>(g.cy - cosines[a] * r)};
    };
    std::array<TPoint, kIndices> last{};
    std::array<std::uint32_t, kIndices> colours;
    for (int i = 0; i < kIndices; ++i)
        colours[static_cast<std::size_t>(i)] = satelliteColour(i);
    history.visitRuns([&](int index, const TSkyHistory::TRun& run, bool joined) {
        const TPoint p = place(run.elevation, run.azimuth);
        TPoint& prev = last[static_cast<std::size_t>(index)];
        const std::uint32_t colour = colours[static_cast<std::size_t>(index)];
        if (!joined)
            draw({index, colour, p, p, true});
        else if (!(prev == p))
            draw({index, colour, prev, p, false});
        prev = p;
    });
    for (bool glonass : {false, true})
        if (const TSatData* view = history.latest(glonass))
            apply(*view, nullptr);
}

std::vector<int> TSkyTracks::markers() const {
    std::vector<int> out;
    for (int i = 0; i < kIndices; ++i)
        if (sats_[static_cast<std::size_t>(i)].hasPosition)
            out.push_back(i);
    return out;
}

std::optional<int> TSkyTracks::hitTest(int x, int y, bool rightButton) const {
    std::optional<int> hit;
    for (int i : markers()) {
        const TPoint& p = sats_[static_cast<std::size_t>(i)].position;
        if (std::abs(p.x - x) <= 5 && std::abs(p.y - y) <= 5) {
            hit = i;
            if (!rightButton)
                break;
        }
    }
    return hit;
}

std::vector<std::pair<std::string, std::string>> satelliteHint(const TSkyTracks& tracks,
                                                               int index) {
    std::vector<std::pair<std::string, std::string>> out;
    if (index < 0 || index >= TSkyTracks::kIndices)
        return out;
    const auto& s = tracks.state(index);
    out.emplace_back("SnLabel", satelliteName(index));
    if (isGlonassIndex(index))
        out.emplace_back("FnLabel", std::to_string(s.frequency));
    out.emplace_back("ELLabel", std::to_string(s.elevation));
    out.emplace_back("AZLabel", std::to_string(s.azimuth));
    out.emplace_back("CALabel", std::to_string(s.ca));
    out.emplace_back("P1Label", std::to_string(s.p1));
    out.emplace_back("P2Label", std::to_string(s.p2));
    out.emplace_back("SSLabel", std::to_string(s.status));
    out.emplace_back("StatusLabel", navigationStatusText(s.status));
    return out;
}

TSignalPanel signalPanel(const TSkyTracks& tracks, const TDops& dops) {
    TSignalPanel panel;
    int gps = 0, glo = 0;
    for (int i = 0; i < TSkyTracks::kIndices; ++i) {
        const auto& s = tracks.state(i);
        if (!s.present)
            continue;
        (isGlonassIndex(i) ? glo : gps)++;
        if (static_cast<int>(panel.bars.size()) >= TSignalPanel::kSlots)
            continue;
        panel.bars.push_back({i, satelliteName(i), statusUnhealthy(s.status),
                              std::clamp<int>(s.ca, 0, 60), std::to_string(s.ca),
                              satelliteColour(i), navigationStatusText(s.status),
                              !statusExcluded(s.status)});
    }
    panel.countLabel =
        std::to_string(gps + glo) + "=" + std::to_string(gps) + "+" + std::to_string(glo);
    // An unknown DOP leaves its label empty.
    panel.gdop = fixedText(dops.gdop, 7, 3, "", "");
    panel.pdop = fixedText(dops.pdop, 7, 3, "", "");
    panel.vdop = fixedText(dops.vdop, 7, 3, "", "");
    panel.hdop = fixedText(dops.hdop, 7, 3, "", "");
    return panel;
}

int barCoverBottom(int ca, int top, int bottom) {
    return std::clamp((60 - ca) * (bottom - top) / 60 + top, top, bottom);
}

std::string satelliteSwitchCommand(const std::string& name, bool checked) {
    std::string number = name.size() > 1 ? name.substr(1, 3) : std::string();
    return std::string("%%set,/par/pos/") + (name.rfind('G', 0) == 0 ? "gps/sat/" : "glo/sat/") +
           number + (checked ? ",on" : ",off");
}

} // namespace telvor
