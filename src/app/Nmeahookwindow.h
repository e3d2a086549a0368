#pragma once
// The NMEA output in the main window: Tools, "NMEA output" (a toggle) and "NMEA output
// settings...", and the path and client count in the status bar.
#include <memory>

class QMainWindow;

namespace telvor {

class TProfile;
class TNmeaControl;

class TNmeaHook {
public:
    virtual ~TNmeaHook() = default;
    virtual TNmeaControl& control() = 0;
};

// Restores the output when it was on at the last close. The hook lives until the window
// closes.
std::unique_ptr<TNmeaHook> hookNmea(QMainWindow& main, TProfile& profile);

} // namespace telvor
