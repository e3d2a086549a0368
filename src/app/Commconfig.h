#pragma once
// The rules of the connection dialog: what it shows, how its controls depend on each other
// and what its Connect button writes. TConnectForm only mirrors these values.
#include "app/Ports.h"

#include <functional>
#include <string>
#include <vector>

namespace telvor {

class TProfile;

// What the controls hold.
struct TConnectValues {
    int mode = 0;      // "Direct", "Internet Client", "Internet Server", "Radio modem"
    std::string port;  // selected or typed port name
    std::string speed; // selected entry of the speed list (a speed, or a USB receiver)
    std::string timeout = "500";
    bool irda = false;
    bool handshaking = false;
    bool passive = false;
    bool terminal = false;
    bool recBaud = false;
    std::string host, tcpPort, password;
    std::string ethrHost, ethrPort, ethrPassword;
    bool monitor = false;
    bool logServer = true;
    bool dnsLookup = false;
};

// What the dependencies decide.
struct TConnectLayout {
    bool modeEnabled = true;
    bool passiveEnabled = true;
    bool recBaudEnabled = true;
    bool handshakingEnabled = true;
    bool portListEnabled = true;
    bool hostEnabled = false;
    bool tcpPortEnabled = false;
    bool passwordEnabled = false;
    bool monitorEnabled = false;
    bool speedVisible = true;
    bool irdaVisible = true;
    bool ethrVisible = false; // Ethernet host, TCP port and password fields
    std::string portLabel = "Port:";
    std::vector<std::string> speedItems;
    int speedIndex = -1;
};

// The sharing server keeps the server password in a scrambled form; until it provides its
// codec the dialog leaves the stored value alone and disables the field.
struct TPasswordCodec {
    std::function<std::string(const std::string& plain)> encode;
    std::function<std::string(const std::string& stored)> decode; // "" when it does not decode
};
void setServerPasswordCodec(TPasswordCodec codec);
bool hasServerPasswordCodec();

class TCommConfig {
public:
    static const std::vector<std::string>& speedList();   // "4800" ... "460800"
    static const std::vector<std::string>& timeoutList(); // "500" ... "10000"
    static const std::vector<std::string>& modeNames();

    // `runScript`: the program was started with "/run" and a script; the session then runs in
    // the manual terminal, so the dialog forces Manual mode only in mode Direct.
    TCommConfig(TProfile& profile, bool runScript, TPortScan scan = {});

    // Fills the values from the settings; `displayData` is the main window's "Display data".
    TConnectValues load(bool displayData);
    const std::vector<TPortEntry>& ports() const { return ports_; }
    // Index of the port in the list, or -1 for a typed name that is not listed.
    int portIndex(const std::string& port) const;

    // Re-evaluated on every change of mode or port. Refills the speed list (and so the speed
    // selection) and may force values: infrared clears handshaking, manual mode sets passive.
    TConnectLayout apply(TConnectValues& v) const;
    // Changes of single check boxes that only force other boxes.
    TConnectLayout applyChecks(TConnectValues& v) const;

    // The Connect button: writes every key. Returns the new "Display data".
    bool save(const TConnectValues& v, bool shiftHeld);

    // A serial device: a name the serial link takes, or a listed serial port.
    bool isSerial(const std::string& port) const;

private:
    TConnectLayout layoutFor(TConnectValues& v, bool refillSpeeds) const;

    TProfile& profile_;
    bool runScript_;
    TPortScan scan_;
    std::vector<TPortEntry> ports_;
};

} // namespace telvor
