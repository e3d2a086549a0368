#pragma once
// Hooks the RFM96 radio modem window into the main window's "&RFM96 Radio" item.

class TMainWindow;

namespace telvor {

class TProfile;

void hookRadioConfig(TMainWindow& main, TProfile& profile);

} // namespace telvor
