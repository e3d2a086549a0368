#include "config/Messagesconfig.h"

namespace telvor {

TMessagesPage::TMessagesPage(const std::string& key, const std::string& caption, TControl* sheet)
    : TConfigPage(caption, ApplyButton, RefreshButton, sheet),
      ApplyButton(key + "ApplyButton", TControlKind::Button),
      RefreshButton(key + "RefreshButton", TControlKind::Button) {
    ApplyButton.setEnabled(false);
}

} // namespace telvor
