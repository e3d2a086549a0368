#include "cli/Monitortext.h"

#include "monitor/Monitorstate.h"

#include <algorithm>
#include <cstring>

namespace telvor {
namespace {

// Characters on the screen: UTF-8 continuation bytes take no room ("°" of the angles).
std::size_t width(const std::string& s) {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string padded(const std::string& s, std::size_t w) {
    return s + std::string(w > width(s) ? w - width(s) : 0, ' ');
}

void table(std::string& out, const std::string& header, const TSatTable& t) {
    out += header + "\n";
    std::vector<std::size_t> widths;
    for (const auto& c : t.columns)
        widths.push_back(width(c));
    for (const auto& row : t.rows)
        for (std::size_t c = 0; c < row.cells.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], width(row.cells[c]));
    auto line = [&](const std::vector<std::string>& cells) {
        std::string l = " ";
        for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c)
            l += " " + padded(cells[c], widths[c]);
        while (!l.empty() && l.back() == ' ')
            l.pop_back();
        out += l + "\n";
    };
    line(t.columns);
    for (const auto& row : t.rows)
        line(row.cells);
}

} // namespace

std::string monitorViewText(const TMonitorView& view) {
    constexpr std::size_t kPerLine = 4;
    std::string out;
    for (const char* group : {"Time", "Geo", "XYZ", "Target", "Events"}) {
        std::vector<std::string> items;
        for (const auto& c : monitorControls()) {
            if (std::strcmp(c.group, group) != 0 || !view.visible(c.name))
                continue;
            std::string text = view.text(c.name);
            items.push_back(*c.caption ? std::string(c.caption) + " " + text : text);
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            out += i % kPerLine == 0 ? padded(i == 0 ? group : "", 8) : "   ";
            out += items[i];
            if (i % kPerLine == kPerLine - 1 || i + 1 == items.size())
                out += "\n";
        }
    }
    table(out, view.text("GPSCountLabel"), view.gps());
    table(out, view.text("GLOCountLabel"), view.glonass());
    return out;
}

} // namespace telvor
