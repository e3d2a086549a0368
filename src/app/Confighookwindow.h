#pragma once
// Hooks the receiver configuration window into the main window's "Recei&ver" item.

class TMainWindow;

namespace telvor {

class TProfile;

void hookReceiverConfig(TMainWindow& main, TProfile& profile);

} // namespace telvor
