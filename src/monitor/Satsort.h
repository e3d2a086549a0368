#pragma once
// Sorting of the satellite lists: column clicks and the per-column comparison rules.
#include "monitor/Monitorstate.h"

#include <string_view>

namespace telvor {

// New sort key after a click on column `column` (0 = caption column): the same column flips
// the direction, another column keeps the current direction.
int sortKeyAfterClick(int key, int column);

// Readings used by the comparisons.
double numericSortValue(std::string_view text);   // the number, -1000 when not one
double trackingSortValue(std::string_view text);  // "TC" texts in seconds
double elevationSortValue(std::string_view text); // trailing marks removed

// Compares two rows by the key's column under the rules of a list of `kind` columns.
int compareSatRows(const std::vector<std::string>& a, const std::vector<std::string>& b, int key,
                   int kind);

// Stable sort of a list by `key` (the list's own key unless given).
void sortSatTable(TSatTable& table, int key);
inline void sortSatTable(TSatTable& table) {
    sortSatTable(table, table.sortKey);
}

} // namespace telvor
