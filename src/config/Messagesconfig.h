#pragma once
// The sub-pages of "Messages" (" General ", "  VXR ", " NMEA "): they bind no parameters yet,
// but keep Refresh and Apply so that OK and Save see them as every other page. No Qt.
#include "config/Page.h"

#include <string>

namespace telvor {

class TMessagesPage : public TConfigPage {
public:
    // `key` names the buttons ("MessGen" gives MessGenRefreshButton, MessGenApplyButton).
    TMessagesPage(const std::string& key, const std::string& caption, TControl* sheet);

    TControl ApplyButton;
    TControl RefreshButton;

    std::string scriptSection() const override { return {}; }
};

} // namespace telvor
