#pragma once
// Texts and tables of the session that need no link: the baud search order, the firmware
// number, the monitoring message list, status panel, window title and elapsed time.
#include <cstdint>
#include <string>

namespace telvor {

// Entry 0 is the configured speed; 1..13 the fixed search order 460800 ... 600.
constexpr int kBaudTableSize = 14;
int baudTableEntry(int index, int configured);
// The configured speed text as a number; 115200 when it is not one.
int configuredSpeed(const std::string& text);

// major * 1000 + minor from texts like "2.1" or "3.0.5"; -1 when empty or without ".".
int firmwareVersion(const std::string& text);
constexpr int kMinFirmwareVersion = 2001;

// Messages the monitor needs; the short periods for Direct and Internet Server.
std::string monitoringMessageList(int mode);

struct TPanelInfo {
    int mode = 0;
    std::string port;    // as stored (also "/dev/..." paths)
    bool serial = false; // the link is a serial port
    std::string speed;   // configured speed text
    bool rtscts = false;
    bool irda = false;
    std::string host; // Internet Client host
    int tcpPort = 0;  // sharing port
    std::string ethrHost;
};
// Status bar panel 0 while connected.
std::string statusPanelText(const TPanelInfo& info);

struct TTitleInfo {
    bool connected = false;
    std::string model, id, firmware;
    bool details = false; // MainWindow/ReceiverDetails
    bool server = false;  // Internet Server mode
    bool base = false, rover = false;
    std::string sharingStatus;
};
// Main window title, e.g. "Telvor to MX ID:123 " or "Telvor (idle)".
std::string windowTitle(const TTitleInfo& info);
// What follows "Satellites", "Position" and "Scatter" in the plot window titles.
std::string plotTitleSuffix(const TTitleInfo& info);

// Whole seconds since the connection start: "hh:mm:ss" below 25 hours, then
// "N day(s) hh:mm:ss".
std::string elapsedText(std::int64_t seconds);

} // namespace telvor
