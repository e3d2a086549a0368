#pragma once
// `telvor-cli monitor` without --json: the main window's monitor as a compact text table.
#include <string>

namespace telvor {

class TMonitorView;

// One line per box of the main window (time, position, XYZ, target, events) with its visible
// labels as caption and text, then both satellite lists under their headers, columns aligned.
std::string monitorViewText(const TMonitorView& view);

} // namespace telvor
