#include "config/Attitudeconfig.h"

namespace telvor {

TAttitudePage::TAttitudePage() : TConfigPage("Attitude", ApplyButton, RefreshButton) {
    std::vector<TBindRow> rows;
    rows.push_back(
        {.path = "/par/hd/mode", .kind = TBindKind::CheckBox, .controls = {&HeadingModeCheckBox}});
    rows.push_back({.path = "/par/hd/uselen",
                    .kind = TBindKind::CheckBox,
                    .controls = {&FixedBaseLineCheckBox}});
    rows.push_back({.path = "/par/hd/len/0", .controls = {&FixedBaselineEdit}});
    setRows(std::move(rows));
    // Nothing here is written: a change must not count as un-applied.
    for (TControl* c : {&HeadingModeCheckBox, &FixedBaseLineCheckBox, &FixedBaselineEdit})
        c->onChanged = nullptr;
}

std::vector<TControl*> TAttitudePage::controls() {
    // No Apply on the sheet: the page writes nothing.
    return {&RefreshButton, &HeadingModeCheckBox, &FixedBaseLineCheckBox, &FixedBaselineLabel,
            &FixedBaselineEdit};
}

} // namespace telvor
