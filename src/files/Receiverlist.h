#pragma once
// The receiver's file list: filled from the receiver, sorted by the column the user chose.
// Headless; the file manager's list view shows `entries` in order.
#include "files/Filelist.h"

#include <string>
#include <vector>

namespace telvor {

class TFileListView {
public:
    // Asks the receiver for its files; "" on success, else the text for the status bar.
    std::string Fill();
    // Column 1..5: "Target name", "Name", "Size", "Date", "Time"; negative keys descend.
    void Sort();
    // A click on a column header (1..5).
    void ColumnClick(int column);
    // The in-place edit of a target name finished.
    void SetTargetName(std::size_t index, const std::string& edited);

    std::vector<TFileEntry> entries;
    int sortKey = 1;
};

} // namespace telvor
