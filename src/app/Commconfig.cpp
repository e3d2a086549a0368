#include "app/Commconfig.h"

#include "links/Portio.h"
#include "protocol/Numbers.h"
#include "settings/Profile.h"

#include <algorithm>
#include <cstdlib>

namespace telvor {
namespace {

TPasswordCodec& codec() {
    static TPasswordCodec c;
    return c;
}

bool startsWith(const std::string& s, std::string_view prefix) {
    return s.rfind(prefix, 0) == 0;
}

int indexOf(const std::vector<std::string>& list, const std::string& item) {
    auto it = std::find(list.begin(), list.end(), item);
    return it == list.end() ? -1 : int(it - list.begin());
}

// Whole decimal number, else `def`.
int toInt(const std::string& text, int def) {
    return static_cast<int>(parseInteger(text, 0, 1000000000).value_or(def));
}

} // namespace

void setServerPasswordCodec(TPasswordCodec c) {
    codec() = std::move(c);
}
bool hasServerPasswordCodec() {
    return bool(codec().encode) && bool(codec().decode);
}

const std::vector<std::string>& TCommConfig::speedList() {
    static const std::vector<std::string> list = {"4800",  "9600",   "19200",  "38400",
                                                  "57600", "115200", "230400", "460800"};
    return list;
}

const std::vector<std::string>& TCommConfig::timeoutList() {
    static const std::vector<std::string> list = {"500",  "1000", "2000", "3000",
                                                  "4000", "5000", "10000"};
    return list;
}

const std::vector<std::string>& TCommConfig::modeNames() {
    static const std::vector<std::string> list = {"Direct", "Internet Client", "Internet Server",
                                                  "Radio modem"};
    return list;
}

TCommConfig::TCommConfig(TProfile& profile, bool runScript, TPortScan scan)
    : profile_(profile), runScript_(runScript), scan_(std::move(scan)) {
    if (runScript_) {
        profile_.write(keys::CommTerminal, true);
        profile_.write(keys::CommConnectionType, int(cmDirect));
    }
}

bool TCommConfig::isSerial(const std::string& port) const {
    if (IsSerialPortName(port))
        return true;
    int index = findPort(ports_, port, scan_);
    return index >= 0 && !ports_[std::size_t(index)].device.empty();
}

int TCommConfig::portIndex(const std::string& port) const {
    return findPort(ports_, port, scan_);
}

TConnectValues TCommConfig::load(bool displayData) {
    TConnectValues v;
    ports_ = dialogPorts(scan_);
    std::string stored = profile_.read(keys::CommPort);
    int index = findPort(ports_, stored, scan_);
    // A typed device path that is not listed (a pty, a device that is away) stays offered.
    if (index < 0 && !stored.empty() && stored[0] == '/') {
        ports_.insert(ports_.begin(), TPortEntry{stored, stored, stored});
        index = 0;
    }
    v.port = ports_.empty() ? stored : ports_[std::max(index, 0)].name;

    v.passive = profile_.read(keys::ReceiverElevMask).empty();
    v.recBaud = profile_.read(keys::ReceiverRememberSpeed);
    v.handshaking = profile_.read(keys::CommRTSCTS);
    v.timeout = timeoutList().front();
    v.irda = profile_.read(keys::CommIrDA);
    v.mode = connectionDialogIndex(profile_.read(keys::CommConnectionType));
    v.host = profile_.read(keys::CommHost);
    v.tcpPort = std::to_string(profile_.read(keys::CommTCPPort));
    v.ethrHost = profile_.read(keys::CommEthrDHost);
    v.ethrPort = std::to_string(profile_.read(keys::CommEthrDTCPPort));
    v.ethrPassword = profile_.read(keys::CommEthrDPassw).substr(0, 15);
    v.monitor = displayData;
    std::string storedPassword = profile_.read(keys::CommPassword);
    if (!storedPassword.empty() && hasServerPasswordCodec())
        v.password = codec().decode(storedPassword);
    v.logServer = profile_.read(keys::CommLogServer);
    v.dnsLookup = profile_.read(keys::CommDNSLookup);
    v.terminal = profile_.read(keys::CommTerminal);
    apply(v);
    return v;
}

TConnectLayout TCommConfig::apply(TConnectValues& v) const {
    return layoutFor(v, true);
}

TConnectLayout TCommConfig::applyChecks(TConnectValues& v) const {
    return layoutFor(v, false);
}

TConnectLayout TCommConfig::layoutFor(TConnectValues& v, bool refillSpeeds) const {
    TConnectLayout l;
    if (runScript_) {
        l.modeEnabled = false;
        l.passiveEnabled = false;
        l.recBaudEnabled = false;
    }
    if (v.irda) {
        v.handshaking = false;
        l.handshakingEnabled = false;
    }
    if (v.terminal) {
        v.passive = true;
        l.passiveEnabled = false;
        l.recBaudEnabled = false;
    }
    bool client = v.mode == cmInternetClient;
    bool server = v.mode == cmInternetServer;
    l.portListEnabled = !client;
    l.hostEnabled = client;
    l.tcpPortEnabled = client || server;
    l.passwordEnabled = (client || server) && hasServerPasswordCodec();
    l.monitorEnabled = server;

    const std::string& port = v.port;
    if (startsWith(port, "LPT")) {
        l.speedItems = {"Parallel"};
        l.speedIndex = 0;
    } else if (startsWith(port, "ETHR")) {
        l.speedItems = {"Ethernet"};
        l.speedIndex = 0;
        if (v.mode == cmDirect) {
            l.speedVisible = false;
            l.irdaVisible = false;
            l.portLabel = "Host name:";
            l.ethrVisible = true;
        }
    } else if (startsWith(port, "USB")) {
        l.speedItems = usbReceivers();
        l.speedIndex = indexOf(l.speedItems, profile_.read(keys::CommUSBDev));
        if (l.speedIndex < 0 && !l.speedItems.empty())
            l.speedIndex = 0;
    } else if (isSerial(port)) {
        l.speedItems = speedList();
        l.speedIndex = indexOf(l.speedItems, profile_.read(keys::CommBaud));
        if (l.speedIndex < 0)
            l.speedIndex = indexOf(l.speedItems, "115200");
        if (refillSpeeds)
            v.timeout = std::to_string(profile_.read(keys::CommTimeout));
    }
    if (refillSpeeds)
        v.speed = l.speedIndex >= 0 ? l.speedItems[l.speedIndex] : std::string();
    else
        l.speedIndex = indexOf(l.speedItems, v.speed);
    return l;
}

bool TCommConfig::save(const TConnectValues& v, bool shiftHeld) {
    TProfile& p = profile_;
    p.write(keys::MainWindowReceiverDetails, shiftHeld);
    p.write(keys::CommPort, v.port);
    if (isSerial(v.port)) {
        if (!v.speed.empty())
            p.write(keys::CommBaud, v.speed);
        p.write(keys::CommTimeout, toInt(v.timeout, 500));
    } else if (startsWith(v.port, "USB")) {
        p.write(keys::CommUSBDev, v.speed);
    }
    p.write(keys::CommRTSCTS, v.irda ? false : v.handshaking);
    p.write(keys::CommIrDA, v.irda);
    p.write(keys::ReceiverRememberSpeed, v.recBaud);
    p.write(keys::CommEchoOff, p.read(keys::CommEchoOff));
    p.write(keys::ReceiverElevMask, v.passive || v.terminal ? "" : "7");
    p.write(keys::CommConnectionType, v.mode);
    p.write(keys::CommHost, v.host);
    p.write(keys::CommTCPPort, toInt(v.tcpPort, 0));
    p.write(keys::CommEthrDHost, v.ethrHost);
    p.write(keys::CommEthrDTCPPort, toInt(v.ethrPort, 0));
    p.write(keys::CommEthrDPassw, v.ethrPassword.substr(0, 15));
    p.write(keys::CommMonitor, v.monitor);
    if (hasServerPasswordCodec())
        p.write(keys::CommPassword,
                v.password.empty() ? std::string() : codec().encode(v.password));
    p.write(keys::CommLogServer, v.logServer);
    p.write(keys::CommDNSLookup, v.dnsLookup);
    p.write(keys::CommTerminal, v.terminal);
    return v.monitor;
}

} // namespace telvor
