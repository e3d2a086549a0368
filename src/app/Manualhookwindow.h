#pragma once
// Hooks the manual-mode terminal into the main window: its menu item (monitoring paused
// around it) and "Manual mode only", where it opens instead of a session.
#include <string>
#include <vector>

class TMainWindow;

namespace telvor {

class TProfile;

// `runArguments`: the script and its arguments after "/run"; the first opening of the
// terminal finds them in its command line.
void hookManualMode(TMainWindow& main, TProfile& profile, std::vector<std::string> runArguments);

} // namespace telvor
