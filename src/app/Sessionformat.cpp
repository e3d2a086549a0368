#include "app/Sessionformat.h"

#include "app/Appinfo.h"
#include "protocol/Numbers.h"
#include "settings/Settingskeys.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace telvor {

int baudTableEntry(int index, int configured) {
    static const int table[kBaudTableSize] = {0,     460800, 230400, 115200, 57600, 38400, 28800,
                                              19200, 14400,  9600,   4800,   2400,  1200,  600};
    if (index <= 0 || index >= kBaudTableSize)
        return configured;
    return table[index];
}

int configuredSpeed(const std::string& text) {
    return static_cast<int>(parseInteger(text, 1, 100000000).value_or(115200));
}

int firmwareVersion(const std::string& text) {
    auto dot = text.find('.');
    if (text.empty() || dot == std::string::npos)
        return -1;
    double major = std::floor(std::strtod(text.c_str(), nullptr));
    long minor = std::strtol(text.c_str() + dot + 1, nullptr, 10);
    return int(major) * 1000 + int(minor);
}

std::string monitoringMessageList(int mode) {
    std::string list = "/PG,/PV,/DP,/MS,/RT,/RD,/OO,/TT,/XA,/XB,/SG";
    if (mode == cmDirect || mode == cmInternetServer)
        list += ",/GA:0,/NA:0,/SI,/NN,/EL,/DO,/DC,/AZ,/EC,/E1,/E2,/TC,/SS,/GS,/NS,/EE";
    else
        list += ",/SI:2,/NN:2,/EL:2,/DO:2,/DC:2,/AZ:2,/EC:2,/E1:2,/E2:2,/TC:2,/SS:2,/GS:2,/NS:2,"
                "/EE:2";
    return list;
}

namespace {
std::string lineMarks(const TPanelInfo& i) {
    std::string s;
    if (i.rtscts)
        s += ", HS";
    if (i.irda)
        s += ", IR";
    return s;
}
} // namespace

std::string statusPanelText(const TPanelInfo& i) {
    switch (i.mode) {
    case cmInternetClient:
        return i.host + ":" + std::to_string(i.tcpPort);
    case cmInternetServer:
        return "server:" + std::to_string(i.tcpPort);
    case cmRadioModem:
        return i.port + ", " + i.speed + lineMarks(i) + ", RM";
    case cmConnected:
        return "Connected";
    default:
        break;
    }
    if (i.port.rfind("ETHR", 0) == 0)
        return "Ethr, " + i.ethrHost;
    if (i.port.rfind("USB", 0) == 0)
        return "USB";
    if (i.serial)
        return i.port + ", " + i.speed + lineMarks(i);
    return i.port;
}

std::string plotTitleSuffix(const TTitleInfo& i) {
    std::string s;
    if (!i.connected) {
        s = " (idle)";
    } else {
        if (i.details)
            s = " [Model:" + i.model + " ID:" + i.id + " Firmware:" + i.firmware + "]";
        else
            s = " " + i.model + " ID:" + i.id + " ";
        if (i.server)
            s += " Server";
        else if (i.base)
            s += " (base)";
        else if (i.rover)
            s += " (rover)";
    }
    if (!i.sharingStatus.empty())
        s += " " + i.sharingStatus;
    return s;
}

std::string windowTitle(const TTitleInfo& i) {
    std::string title = kAppTitle;
    if (i.connected && !i.details)
        title += " to";
    return title + plotTitleSuffix(i);
}

std::string elapsedText(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char buf[64];
    std::int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h < 25) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(h), int(m), int(s));
    } else {
        std::int64_t days = h / 24;
        std::snprintf(buf, sizeof buf, "%d day%s %02d:%02d:%02d", int(days), days >= 2 ? "s" : "",
                      int(h % 24), int(m), int(s));
    }
    return buf;
}

} // namespace telvor
