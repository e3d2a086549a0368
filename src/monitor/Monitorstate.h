#pragma once
// What the monitor shows, by control name: label texts and their visibility, and the two
// satellite lists. The decoders and the display tick write it; a window or telvor-cli renders
// it. The main window has one; the real-time logging window has its own, smaller one.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvor {

struct TLabel {
    std::string text;
    bool visible = false;
};

// One list row: its column texts (column 0 is the row caption) and a reference that stays
// with the row when the list is sorted (the decoders address rows by it).
struct TSatRow {
    int ref = 0;
    std::vector<std::string> cells;

    TSatRow() = default;
    TSatRow(int r, std::vector<std::string> c) : ref(r), cells(std::move(c)) {}
};

// A satellite list: column captions and rows.
struct TSatTable {
    std::vector<std::string> columns;
    std::vector<TSatRow> rows;
    int sortKey = 1; // |key| - 1 is the column, negative sorts descending

    // Kind number of the sort rules: its column count (main GPS 8, main GLONASS 9, logging
    // GPS 7, logging GLONASS 8).
    int kind() const { return static_cast<int>(columns.size()); }
    // Current position of the row with reference `ref`, or -1.
    int indexOf(int ref) const;
};

enum class TViewKind { Main, Logging };

class TMonitorView {
public:
    explicit TMonitorView(TViewKind kind = TViewKind::Main);

    TViewKind kind() const { return kind_; }
    // Whether this view has a control of that name.
    bool has(std::string_view name) const;

    // Sets the text and makes the label visible. Unknown names are added (visible).
    void show(std::string_view name, std::string text);
    // Sets the text without touching the visibility.
    void setText(std::string_view name, std::string text);
    void hide(std::string_view name);

    const TLabel* label(std::string_view name) const;
    std::string text(std::string_view name) const;
    bool visible(std::string_view name) const;

    // Every visible label as (control name, text), ordered by name.
    std::vector<std::pair<std::string, std::string>> visibleLabels() const;
    const std::map<std::string, TLabel, std::less<>>& labels() const { return labels_; }

    TSatTable& gps() { return gps_; }
    TSatTable& glonass() { return glonass_; }
    const TSatTable& gps() const { return gps_; }
    const TSatTable& glonass() const { return glonass_; }
    TSatTable& list(bool isGlonass) { return isGlonass ? glonass_ : gps_; }

    // Bumped by every change through this class, so a window can skip unchanged repaints.
    std::uint64_t revision() const { return revision_; }
    void touch() { ++revision_; }

private:
    TLabel& slot(std::string_view name);

    TViewKind kind_;
    std::map<std::string, TLabel, std::less<>> labels_;
    TSatTable gps_, glonass_;
    std::uint64_t revision_ = 0;
};

// Controls the real-time logging window has; the decoders write these there while it exists.
bool isLoggingControl(std::string_view name);

// A value label of the main window's monitor: the box or page it sits in ("Time", "Geo",
// "XYZ", "Target", "Events"), the caption shown beside it and its initial text.
struct TMonitorControl {
    const char* name;
    const char* group;
    const char* caption;
    const char* initial;
};
// In the order the main window shows them.
const std::vector<TMonitorControl>& monitorControls();
// The main window's controls: the value labels and both list headers (not the almanac maps,
// which the debug window shows).
bool isMonitorControl(std::string_view name);

// The main view as one JSON object, the way the main window shows it: its visible labels by
// control name (the list headers "GPSCountLabel" and "GLOCountLabel" always), then "GPSList"
// and "GLOList", each an array of rows, a row the array of its column texts in column order.
// One line of `telvor-cli monitor --json`.
std::string monitorViewJson(const TMonitorView& view);

} // namespace telvor
