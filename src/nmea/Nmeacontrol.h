#pragma once
// The window's NMEA output: its settings (section "NMEA"), the menu toggle, the settings
// dialog's fields and rules, and the status text with the path and the client count. The
// window only shows what this unit says.
#include "nmea/Nmeaoutputs.h"

#include <string>

namespace telvor {

class TProfile;

// What the settings dialog edits.
struct TNmeaFields {
    bool ptyOn = true;
    std::string ptyPath;
    bool tcpOn = false;
    std::string tcp; // "[ADDR:]PORT"
};

class TNmeaControl {
public:
    // `state`: where the outputs attach (the program's commState()).
    TNmeaControl(TProfile& profile, TCommState& state) : profile_(profile), state_(state) {}
    // Closing keeps the saved choice, so that the output is on again at the next start.
    ~TNmeaControl();
    TNmeaControl(const TNmeaControl&) = delete;
    TNmeaControl& operator=(const TNmeaControl&) = delete;

    // At start: on again when it was on at the last close. Empty, or why it could not start.
    std::string restore();
    // The menu toggle; the choice is saved. Empty, or why it could not start (it is then off).
    std::string setEnabled(bool on);
    bool enabled() const { return outputs_.running(); }

    TNmeaFields fields() const;
    // The dialog's OK: checked, saved, and applied at once while the output is on. Empty, or
    // the text that says which field is wrong (nothing is saved then).
    std::string apply(const TNmeaFields& fields);

    // For the status bar: "NMEA: PATH, ADDR:PORT (n clients)"; empty while off.
    std::string statusText() const { return outputs_.statusText(); }
    TNmeaOutputs& outputs() { return outputs_; }

private:
    TNmeaOutputConfig config() const;

    TProfile& profile_;
    TCommState& state_;
    TNmeaOutputs outputs_;
};

} // namespace telvor
