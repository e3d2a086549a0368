// The window's NMEA output: settings, toggle, dialog rules, status.
#include "nmea/Nmeacontrol.h"

#include "settings/Profile.h"
#include "settings/Settingskeys.h"

namespace telvor {

TNmeaControl::~TNmeaControl() {
    outputs_.detach(state_);
    outputs_.stop();
}

TNmeaOutputConfig TNmeaControl::config() const {
    TNmeaOutputConfig c;
    const TNmeaFields f = fields();
    if (f.ptyOn)
        c.ptyPath = f.ptyPath;
    if (f.tcpOn && !parseNmeaTcp(f.tcp, c).empty())
        parseNmeaTcp(std::string(keys::NmeaTcp.def), c);
    return c;
}

TNmeaFields TNmeaControl::fields() const {
    TNmeaFields f;
    f.ptyPath = profile_.read(keys::NmeaPtyPath);
    f.ptyOn = !f.ptyPath.empty();
    if (f.ptyPath.empty())
        f.ptyPath = std::string(keys::NmeaPtyPath.def);
    f.tcpOn = profile_.read(keys::NmeaTcpOn);
    f.tcp = profile_.read(keys::NmeaTcp);
    return f;
}

std::string TNmeaControl::restore() {
    return profile_.read(keys::NmeaOn) ? setEnabled(true) : std::string();
}

std::string TNmeaControl::setEnabled(bool on) {
    outputs_.detach(state_);
    outputs_.stop();
    std::string error;
    if (on) {
        const TNmeaOutputConfig c = config();
        error = c.any() ? outputs_.start(c) : "no NMEA output chosen";
        if (error.empty())
            outputs_.attach(state_);
    }
    profile_.write(keys::NmeaOn, on && error.empty());
    return error;
}

std::string TNmeaControl::apply(const TNmeaFields& f) {
    TNmeaOutputConfig check;
    if (f.ptyOn && f.ptyPath.empty())
        return "Name the path of the pseudo-terminal";
    if (f.tcpOn) {
        const std::string e = parseNmeaTcp(f.tcp, check);
        if (!e.empty())
            return "TCP server: use [address:]port, port 0 to 65535";
    }
    if (!f.ptyOn && !f.tcpOn)
        return "Choose the pseudo-terminal, the TCP server or both";
    profile_.write(keys::NmeaPtyPath, f.ptyOn ? f.ptyPath : std::string());
    profile_.write(keys::NmeaTcpOn, f.tcpOn);
    profile_.write(keys::NmeaTcp, f.tcp);
    return enabled() ? setEnabled(true) : std::string();
}

} // namespace telvor
