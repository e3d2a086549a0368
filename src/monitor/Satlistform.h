#pragma once
// The satellite lists as widgets, shared by the main window's monitor and the logging window:
// one list per table of a TMonitorView, refilled in place on every render.
#include <QTreeWidget>

#include <string>
#include <vector>

namespace telvor {

struct TSatTable;

QTreeWidget* makeSatList(const char* name, const std::vector<std::string>& columns,
                         QWidget* parent);
void fillSatList(QTreeWidget* list, const TSatTable& table);

} // namespace telvor
