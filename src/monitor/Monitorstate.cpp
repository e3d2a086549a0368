#include "monitor/Monitorstate.h"

#include <array>
#include <cstdio>

namespace telvor {
namespace {

// Value labels start hidden; the list headers and the almanac maps are always shown.
const std::vector<TMonitorControl> kMonitorControls = {
    {"TimeLabel", "Time", "Time:", "00:00:00"},
    {"DateLabel", "Time", "Date:", "10/10/1998"},
    {"TrackingTimeLabel", "Time", "Tracking:", "10d 00:00"},
    {"ClockOffsetLabel", "Time", "Clock drift:", "+300.0000 ns"},
    {"TimeDriftLabel", "Time", "Oscillator:", "+0.0000 ppm"},
    {"PosLatLabel", "Geo", "Latitude:", ""},
    {"PosLonLabel", "Geo", "Longitude:", ""},
    {"PosAltLabel", "Geo", "Height:", ""},
    {"PosTypeLabel", "Geo", "Solution:", ""},
    {"SpeedLabel", "Geo", "Speed:", ""},
    {"PSigmaLabel", "Geo", "RMS Pos:", ""},
    {"VSigmaLabel", "Geo", "RMS Vel:", ""},
    {"PDOPLabel", "Geo", "PDOP:", ""},
    {"RTKLinkLabel", "Geo", "RTCM link:", ""},
    {"PositionX", "XYZ", "X:", ""},
    {"PositionY", "XYZ", "Y:", ""},
    {"PositionZ", "XYZ", "Z:", ""},
    {"TgtLatLabel", "Target", "Target latitude:", ""},
    {"TgtLonLabel", "Target", "Target longitude:", ""},
    {"ETTLabel", "Target", "East:", ""},
    {"NTTLabel", "Target", "North:", ""},
    {"DTTLabel", "Target", "Distance:", ""},
    {"CTTLabel", "Target", "Course:", ""},
    {"EventALabel", "Events", "", "Event A: 99999999999"},
    {"EventBLabel", "Events", "", "Event B: 99999999999"},
};

struct TInitial {
    const char* name;
    const char* text;
    bool visible;
};

constexpr std::array kListHeaders = {
    TInitial{"GPSCountLabel", "GPS Satellites", true},
    TInitial{"GLOCountLabel", "GLONASS Satellites", true},
};
// Almanac maps, shown by the debug window.
constexpr std::array kAlmanacLabels = {
    TInitial{"GALabel", " 0", true},
    TInitial{"NALabel", " 0", true},
};

constexpr std::array kLoggingLabels = {
    TInitial{"GPSCountLabel", "GPS Satellites", true},
    TInitial{"GLOCountLabel", "GLONASS Satellites", true},
    TInitial{"PositionX", "", false},
    TInitial{"PositionY", "", false},
    TInitial{"PositionZ", "", false},
    TInitial{"SpeedLabel", "", false},
    TInitial{"PDOPLabel", "", false},
    TInitial{"TimeLabel", "", false},
    TInitial{"ReceiverDateText", "", false},
};

} // namespace

int TSatTable::indexOf(int ref) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].ref == ref)
            return static_cast<int>(i);
    return -1;
}

const std::vector<TMonitorControl>& monitorControls() {
    return kMonitorControls;
}

bool isMonitorControl(std::string_view name) {
    for (const auto& c : kMonitorControls)
        if (name == c.name)
            return true;
    return name == "GPSCountLabel" || name == "GLOCountLabel";
}

bool isLoggingControl(std::string_view name) {
    for (const auto& l : kLoggingLabels)
        if (name == l.name)
            return true;
    return name == "GPSList" || name == "GLOList";
}

TMonitorView::TMonitorView(TViewKind kind) : kind_(kind) {
    auto seed = [this](const auto& table) {
        for (const auto& l : table)
            labels_[l.name] = TLabel{l.text, l.visible};
    };
    if (kind == TViewKind::Main) {
        seed(kListHeaders);
        for (const auto& c : kMonitorControls)
            labels_[c.name] = TLabel{c.initial, false};
        seed(kAlmanacLabels);
        gps_.columns = {"#", "EL", "AZ", "CA", "P1", "P2", "TC", "SS"};
        glonass_.columns = {"Sn", "Fn", "EL", "AZ", "CA", "P1", "P2", "TC", "SS"};
    } else {
        seed(kLoggingLabels);
        gps_.columns = {"#", "EL", "AZ", "CA", "P1", "P2", "TC"};
        glonass_.columns = {"Sn", "Fn", "EL", "AZ", "CA", "P1", "P2", "TC"};
    }
}

bool TMonitorView::has(std::string_view name) const {
    return labels_.find(name) != labels_.end();
}

TLabel& TMonitorView::slot(std::string_view name) {
    auto it = labels_.find(name);
    if (it == labels_.end())
        it = labels_.emplace(std::string(name), TLabel{}).first;
    return it->second;
}

void TMonitorView::show(std::string_view name, std::string text) {
    TLabel& l = slot(name);
    if (!l.visible || l.text != text) {
        l.text = std::move(text);
        l.visible = true;
        ++revision_;
    }
}

void TMonitorView::setText(std::string_view name, std::string text) {
    TLabel& l = slot(name);
    if (l.text != text) {
        l.text = std::move(text);
        ++revision_;
    }
}

void TMonitorView::hide(std::string_view name) {
    auto it = labels_.find(name);
    if (it != labels_.end() && it->second.visible) {
        it->second.visible = false;
        ++revision_;
    }
}

const TLabel* TMonitorView::label(std::string_view name) const {
    auto it = labels_.find(name);
    return it == labels_.end() ? nullptr : &it->second;
}

std::string TMonitorView::text(std::string_view name) const {
    const TLabel* l = label(name);
    return l ? l->text : std::string();
}

bool TMonitorView::visible(std::string_view name) const {
    const TLabel* l = label(name);
    return l && l->visible;
}

std::vector<std::pair<std::string, std::string>> TMonitorView::visibleLabels() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [name, l] : labels_)
        if (l.visible)
            out.emplace_back(name, l.text);
    return out;
}

} // namespace telvor

namespace telvor {
namespace {

void jsonString(std::string& out, std::string_view s) {
    out += '"';
    // Runs that need no escape go in whole: almost every text is one such run.
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(s.substr(from, i - from));
        from = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        }
        }
    }
    out.append(s.substr(from));
    out += '"';
}

void jsonRows(std::string& out, const TSatTable& t) {
    out += '[';
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += r ? ",[" : "[";
        for (std::size_t c = 0; c < t.rows[r].cells.size(); ++c) {
            if (c)
                out += ',';
            jsonString(out, t.rows[r].cells[c]);
        }
        out += ']';
    }
    out += ']';
}

} // namespace

std::string monitorViewJson(const TMonitorView& view) {
    std::string out = "{";
    out.reserve(4096);
    for (const auto& [name, text] : view.visibleLabels()) {
        if (!isMonitorControl(name))
            continue;
        jsonString(out, name);
        out += ':';
        jsonString(out, text);
        out += ',';
    }
    out += "\"GPSList\":";
    jsonRows(out, view.gps());
    out += ",\"GLOList\":";
    jsonRows(out, view.glonass());
    out += '}';
    return out;
}

} // namespace telvor
