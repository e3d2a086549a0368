#include "monitor/Monitorview.h"

#include <array>
#include <cstdio>

namespace telvor {
namespace {

struct TInitial {
    const char* name;
    const char* text;
    bool visible;
};

// Count labels are list headers and always shown; value labels start hidden.
constexpr std::array kMainLabels = {
    TInitial{"GPSCountLabel", "GPS Satellites", true},
    TInitial{"GLOCountLabel", "GLONASS Satellites", true},
    TInitial{"TimeLabel", "00:00:00", false},
    TInitial{"DateLabel", "10/10/1998", false},
    TInitial{"TrackingTimeLabel", "10d 00:00", false},
    TInitial{"ClockOffsetLabel", "+300.0000 ns", false},
    TInitial{"TimeDriftLabel", "+0.0000 ppm", false},
    TInitial{"PosLatLabel", "", false},
    TInitial{"PosLonLabel", "", false},
    TInitial{"PosAltLabel", "", false},
    TInitial{"PosTypeLabel", "", false},
    TInitial{"SpeedLabel", "", false},
    TInitial{"PSigmaLabel", "", false},
    TInitial{"VSigmaLabel", "", false},
    TInitial{"PDOPLabel", "", false},
    TInitial{"RTKLinkLabel", "", false},
    TInitial{"PositionX", "", false},
    TInitial{"PositionY", "", false},
    TInitial{"PositionZ", "", false},
    TInitial{"TgtLatLabel", "", false},
    TInitial{"TgtLonLabel", "", false},
    TInitial{"ETTLabel", "", false},
    TInitial{"NTTLabel", "", false},
    TInitial{"DTTLabel", "", false},
    TInitial{"CTTLabel", "", false},
    TInitial{"EventALabel", "Event A: 99999999999", false},
    TInitial{"EventBLabel", "Event B: 99999999999", false},
    // Almanac maps, shown by the debug window.
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
        seed(kMainLabels);
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
    for (unsigned char c : s) {
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
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void jsonList(std::string& out, const TMonitorView& view, bool glonass) {
    const TSatTable& t = glonass ? view.glonass() : view.gps();
    out += "{\"header\":";
    jsonString(out, view.text(glonass ? "GLOCountLabel" : "GPSCountLabel"));
    out += ",\"columns\":[";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        if (i)
            out += ',';
        jsonString(out, t.columns[i]);
    }
    out += "],\"rows\":[";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        out += r ? ",[" : "[";
        for (std::size_t c = 0; c < t.rows[r].cells.size(); ++c) {
            if (c)
                out += ',';
            jsonString(out, t.rows[r].cells[c]);
        }
        out += ']';
    }
    out += "]}";
}

} // namespace

std::string monitorViewJson(const TMonitorView& view) {
    std::string out = "{\"labels\":{";
    bool first = true;
    for (const auto& [name, text] : view.visibleLabels()) {
        if (!first)
            out += ',';
        first = false;
        jsonString(out, name);
        out += ':';
        jsonString(out, text);
    }
    out += "},\"GPSList\":";
    jsonList(out, view, false);
    out += ",\"GLOList\":";
    jsonList(out, view, true);
    out += '}';
    return out;
}

} // namespace telvor
