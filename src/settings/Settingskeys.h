#pragma once
// Every section, key and default of telvor.ini, in one place. Units read and write settings
// through these constants (TProfile::read / write), never through spelled-out names.
// Keys whose default is computed from a window (positions, sizes) carry 0 here; their users
// pass the computed default to TProfile::read(key, def).
#include "protocol/Connectionmode.h"

#include <algorithm>
#include <string_view>

namespace telvor {

template <class T> struct TKey {
    std::string_view section;
    std::string_view name;
    T def;
};
using TStrKey = TKey<std::string_view>;
using TIntKey = TKey<int>;
using TBoolKey = TKey<bool>;
using TFloatKey = TKey<double>;

namespace keys {

// Comm
inline constexpr TStrKey CommPort{"Comm", "port", "COM1"};
inline constexpr TStrKey CommUSBDev{"Comm", "USBDev", ""};
// The receiver maker's USB vendor ids, hexadecimal, separated by commas ("0x1234,0x5678").
inline constexpr TStrKey CommUSBVendors{"Comm", "USBVendors", ""};
inline constexpr TStrKey CommBaud{"Comm", "baud", "115200"};
inline constexpr TIntKey CommTimeout{"Comm", "Timeout", 500};
inline constexpr TBoolKey CommRTSCTS{"Comm", "RTSCTS", false};
inline constexpr TStrKey CommEchoOff{"Comm", "echoOff", "#OFF#"};
inline constexpr TBoolKey CommIrDA{"Comm", "IrDA", false};
inline constexpr TIntKey CommConnectionType{"Comm", "ConnectionType", 0};
inline constexpr TStrKey CommHost{"Comm", "Host", "localhost"};
inline constexpr TIntKey CommTCPPort{"Comm", "TCPPort", 8000};
inline constexpr TStrKey CommEthrDHost{"Comm", "EthrDHost", ""};
inline constexpr TIntKey CommEthrDTCPPort{"Comm", "EthrDTCPPort", 8002};
inline constexpr TStrKey CommEthrDPassw{"Comm", "EthrDPassw", ""};
inline constexpr TBoolKey CommMonitor{"Comm", "Monitor", false};
inline constexpr TBoolKey CommTerminal{"Comm", "Terminal", false};
inline constexpr TBoolKey CommAutoServer{"Comm", "AutoServer", false};
// Stored in the sharing server's scrambled hexadecimal form; empty means no password.
inline constexpr TStrKey CommPassword{"Comm", "Password", ""};
inline constexpr TBoolKey CommLogServer{"Comm", "LogServer", true};
// The connection dialog shows the key off by default, the sharing server assumes it on.
inline constexpr TBoolKey CommDNSLookup{"Comm", "DNSLookup", false};
inline constexpr TBoolKey CommDNSLookupServer{"Comm", "DNSLookup", true};
inline constexpr TBoolKey CommBeepOnDisconnect{"Comm", "BeepOnDisconnect", false};
inline constexpr TBoolKey CommsBeepOnMessage{"Comms", "BeepOnMessage", true};

// Receiver
inline constexpr TBoolKey ReceiverAllowConfig{"Receiver", "AllowConfig", true};
inline constexpr TStrKey ReceiverElevMask{"Receiver", "ElevMask", "7"};
inline constexpr TBoolKey ReceiverRememberSpeed{"Receiver", "RememberSpeed", false};
inline constexpr TStrKey ReceiverRecordingIntervalFile{"Receiver", "RecordingIntervalFile", "1"};
inline constexpr TStrKey ReceiverRecordingIntervalTerm{"Receiver", "RecordingIntervalTerm", "1"};
inline constexpr TIntKey ReceiverNumbering{"Receiver", "Numbering", 0};
inline constexpr TStrKey ReceiverSatellitesToTrack{"Receiver", "SatellitesToTrack", ""};

// MainWindow (positions and height default to the window's own)
inline constexpr TIntKey MainWindowX{"MainWindow", "X", 0};
inline constexpr TIntKey MainWindowY{"MainWindow", "Y", 0};
inline constexpr TIntKey MainWindowH{"MainWindow", "H", 0};
inline constexpr TBoolKey MainWindowReceiverDetails{"MainWindow", "ReceiverDetails", false};

// Debug
inline constexpr TBoolKey DebugLog{"Debug", "Log", false};
inline constexpr TBoolKey DebugTestMode{"Debug", "TestMode", false};
inline constexpr TBoolKey DebugShowCommands{"Debug", "ShowCommands", false};
inline constexpr TBoolKey DebugShowCommErrors{"Debug", "ShowCommErrors", false};
inline constexpr TBoolKey DebugShowDebugWindow{"Debug", "ShowDebugWindow", false};
inline constexpr TIntKey DebugX{"Debug", "X", 0};
inline constexpr TIntKey DebugY{"Debug", "Y", 0};
inline constexpr TIntKey DebugW{"Debug", "W", 0};
inline constexpr TIntKey DebugH{"Debug", "H", 0};
inline constexpr TIntKey DebugDownloadBlockSize{"Debug", "DownloadBlockSize", 0};
inline constexpr TBoolKey DebugRadioModem{"Debug", "RadioModem", false};
inline constexpr TBoolKey DebugShowModemDebug{"Debug", "ShowModemDebug", false};
inline constexpr TBoolKey DebugManualLPT{"Debug", "ManualLPT", false};

// Site
inline constexpr TStrKey SiteName{"Site", "SiteName", "Site"};
inline constexpr TStrKey SiteAntenaHeight{"Site", "AntenaHeight", "0"};
inline constexpr TBoolKey SiteHeightType{"Site", "HeightType", false};
inline constexpr TBoolKey SiteAutoSend{"Site", "AutoSend", true};
inline constexpr TIntKey SiteStatus{"Site", "Status", 0};
inline constexpr TIntKey SiteAntennaType{"Site", "AntennaType", 0};

// TargetPosition (radians)
inline constexpr TFloatKey TargetPositionLat{"TargetPosition", "Lat", 0.0};
inline constexpr TFloatKey TargetPositionLon{"TargetPosition", "Lon", 0.0};

// LoadFile
inline constexpr TBoolKey LoadFileDoubleCheck{"LoadFile", "DoubleCheck", false};
inline constexpr TStrKey LoadFileOutputPath{"LoadFile", "OutputPath", ""};
inline constexpr TIntKey LoadFileSourcePort{"LoadFile", "SourcePort", 0};
inline constexpr TIntKey LoadFileBlockSize{"LoadFile", "BlockSize", 0};
inline constexpr TBoolKey LoadFileExclusiveMode{"LoadFile", "ExclusiveMode", false};
inline constexpr TBoolKey LoadFileAllowReset{"LoadFile", "AllowReset", false};
inline constexpr TBoolKey LoadFileDownloadViaPrint{"LoadFile", "DownloadViaPrint", false};

// Download
inline constexpr TBoolKey DownloadUseFastWriteByte{"Download", "UseFastWriteByte", true};

// RealTime
inline constexpr TBoolKey RealTimeAutoRun{"RealTime", "AutoRun", false};
inline constexpr TStrKey RealTimeOutputPath{"RealTime", "OutputPath", ""};
inline constexpr TStrKey RealTimePrefix{"RealTime", "Prefix", "EMPTY_PREFIX"};
inline constexpr TBoolKey RealTimeActiveMode{"RealTime", "ActiveMode", false};
inline constexpr TBoolKey RealTimeConvert2RINEX{"RealTime", "Convert2RINEX", false};
inline constexpr TBoolKey RealTimeOverwriteFiles{"RealTime", "OverwriteFiles", false};
inline constexpr TIntKey RealTimeIntervalBetweenFiles{"RealTime", "IntervalBetweenFiles", 1};
inline constexpr TIntKey RealTimeGranularityBetweenFiles{"RealTime", "GranularityBetweenFiles", 1};
inline constexpr TIntKey RealTimeH{"RealTime", "H", 0};

// VXR2RIN (converter settings; the converter's own default path is decided by its user)
inline constexpr TBoolKey Vxr2RinDeleteVXR{"VXR2RIN", "DeleteVXR", false};
inline constexpr TStrKey Vxr2RinApplication{"VXR2RIN", "Application", ""};
inline constexpr TStrKey Vxr2RinOptions{"VXR2RIN", "Options", ""};
inline constexpr TBoolKey Vxr2RinNoGPS{"VXR2RIN", "NoGPS", false};
inline constexpr TBoolKey Vxr2RinNoGLO{"VXR2RIN", "NoGLO", false};
inline constexpr TBoolKey Vxr2RinNoL1{"VXR2RIN", "NoL1", false};
inline constexpr TBoolKey Vxr2RinNoL2{"VXR2RIN", "NoL2", false};
inline constexpr TStrKey Vxr2RinRunBy{"VXR2RIN", "RUN BY", ""};
inline constexpr TStrKey Vxr2RinObserver{"VXR2RIN", "OBSERVER", ""};
inline constexpr TStrKey Vxr2RinAgency{"VXR2RIN", "AGENCY", ""};
inline constexpr TStrKey Vxr2RinAntNumber{"VXR2RIN", "ANT #", ""};
inline constexpr TStrKey Vxr2RinAntType{"VXR2RIN", "ANT TYPE", ""};
inline constexpr TStrKey Vxr2RinComment{"VXR2RIN", "COMMENT", ""};
inline constexpr TStrKey Vxr2RinMarkerName{"VXR2RIN", "MARKER NAME", ""};
inline constexpr TStrKey Vxr2RinMarkerNumber{"VXR2RIN", "MARKER NUMBER", ""};

// ManualMode (folders default to the current directory: empty here; history keys are
// "Command" + index, built by the terminal)
inline constexpr TStrKey ManualModeDirectory{"ManualMode", "Directory", ""};
inline constexpr TStrKey ManualModePathLogFile{"ManualMode", "PathLogFile", ""};
inline constexpr TIntKey ManualModeCommands{"ManualMode", "Commands", 20};
inline constexpr TIntKey ManualModeReplies{"ManualMode", "Replies", 200};
inline constexpr TBoolKey ManualModeMaximized{"ManualMode", "Maximized", false};
inline constexpr TIntKey ManualModeW{"ManualMode", "W", 0};
inline constexpr TIntKey ManualModeH{"ManualMode", "H", 0};
inline constexpr std::string_view ManualModeCommandPrefix = "Command";

// Options (configuration notebook)
inline constexpr TStrKey OptionsDirectory{"Options", "Directory", ""};
inline constexpr TIntKey OptionsW{"Options", "W", 0};
inline constexpr TIntKey OptionsH{"Options", "H", 0};

// Base, GLOEnumeration
inline constexpr TBoolKey BaseGPSGLNAtOneTime{"Base", "GPSGLNAtOneTime", true};
inline constexpr TBoolKey GLOEnumerationFCN{"GLOEnumeration", "FCN", true};

// Plots: window geometry and visibility, keys built from the form name ("SatellitesPlotFormX")
inline constexpr std::string_view PlotsSection = "Plots";

// Position plot
inline constexpr TIntKey PositionMaxX{"Position", "MaxX", 360};
inline constexpr TFloatKey PositionMaxY{"Position", "MaxY", 0.0};
inline constexpr TBoolKey PositionGrid{"Position", "Grid", true};
inline constexpr TIntKey PositionGridX{"Position", "GridX", 30};
inline constexpr TFloatKey PositionGridY{"Position", "GridY", 0.5};

// Scatter plot (the class colours are hexadecimal text owned by the plot store)
inline constexpr TIntKey ScatterMaxDots{"Scatter", "MaxDots", 3600};
inline constexpr TBoolKey ScatterSA{"Scatter", "SA", true};
inline constexpr TBoolKey ScatterCD{"Scatter", "CD", true};
inline constexpr TBoolKey ScatterFL{"Scatter", "FL", true};
inline constexpr TBoolKey ScatterFX{"Scatter", "FX", true};
inline constexpr TBoolKey ScatterConnect{"Scatter", "Connect", false};
inline constexpr TFloatKey ScatterWidth{"Scatter", "Width", 10.0};
inline constexpr TFloatKey ScatterStep{"Scatter", "Step", 1.0};
inline constexpr TBoolKey ScatterGrid{"Scatter", "Grid", true};
// Fix-class colours as hexadecimal 0x00BBGGRR text.
inline constexpr TStrKey ScatterColorSA{"Scatter", "ColorSA", "0000FF"};
inline constexpr TStrKey ScatterColorCD{"Scatter", "ColorCD", "00FF00"};
inline constexpr TStrKey ScatterColorFL{"Scatter", "ColorFL", "FF0000"};
inline constexpr TStrKey ScatterColorFX{"Scatter", "ColorFX", "FFFF00"};

// Ntrip: the NTRIP client window. The password is kept in the sharing password's scrambled form.
inline constexpr TStrKey NtripCaster{"Ntrip", "Caster", ""};
inline constexpr TStrKey NtripMount{"Ntrip", "Mount", ""};
inline constexpr TStrKey NtripUser{"Ntrip", "User", ""};
inline constexpr TStrKey NtripPassword{"Ntrip", "Password", ""};
inline constexpr TStrKey NtripDestination{"Ntrip", "Destination", ""};
inline constexpr TIntKey NtripVersion{"Ntrip", "Version", 2};
inline constexpr TIntKey NtripGga{"Ntrip", "GGA", 0};
// NMEA: the NMEA 0183 output of the window (telvor-cli takes its options instead).
inline constexpr TBoolKey NmeaOn{"NMEA", "On", false};
inline constexpr TStrKey NmeaPtyPath{"NMEA", "PtyPath", "/tmp/telvor-nmea"};
inline constexpr TBoolKey NmeaTcpOn{"NMEA", "TcpOn", false};
inline constexpr TStrKey NmeaTcp{"NMEA", "Tcp", "127.0.0.1:10110"};

} // namespace keys

// The session's mode from the stored value: unknown values (e.g. 7, or negative) mean Direct.
constexpr int connectionMode(int stored) {
    return stored >= cmDirect && stored <= cmConnected ? stored : cmDirect;
}

// The connection dialog lists modes 0..3 only; anything else selects its first item.
constexpr int connectionDialogIndex(int stored) {
    return stored >= cmDirect && stored <= cmRadioModem ? stored : cmDirect;
}

// Site/Status: 0 fixed, 1 moving.
constexpr int siteStatus(int stored) {
    return std::clamp(stored, 0, 1);
}

// Site/AntennaType is limited to 0..40, and never past the end of the list it indexes.
constexpr int siteAntennaType(int stored, int listSize = 41) {
    return std::clamp(stored, 0, std::max(0, std::min(40, listSize - 1)));
}

} // namespace telvor
