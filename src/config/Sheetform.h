#pragma once
// Lays out the widgets of a configuration sheet from its headless controls: one group box per
// group, one row per control (its label first), each widget named after its control so that
// the binder finds it. Radio buttons are exclusive within their group only.
#include "config/Control.h"

#include <QString>

#include <map>
#include <string>
#include <vector>

class QWidget;

namespace telvor {

struct TSheetGroup {
    TSheetGroup(QString title, std::vector<TControl*> controls, int columns = 1, QString name = {})
        : title(std::move(title)), controls(std::move(controls)), columns(columns),
          name(std::move(name)) {}
    QString title; // empty: no frame
    std::vector<TControl*> controls;
    int columns;
    QString name; // the group box's objectName, for a sheet that shows or hides it
    // Shares the cell of the group before it: of two groups only one is shown at a time.
    bool sharesCell = false;
};

using TCaptions = std::map<std::string, QString>;

void buildSheet(QWidget* sheet, const std::vector<TSheetGroup>& groups, const TCaptions& captions,
                int columns = 1);

} // namespace telvor
