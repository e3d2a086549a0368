#pragma once
// The factory that builds the link the settings name and makes it the current link, and the
// names of serial ports. The link interface itself is protocol/Link.h.
#include "protocol/Commstate.h"
#include "protocol/Link.h"

#include <string>
#include <string_view>

namespace telvor {

// Milliseconds the reset command waits before reconnecting to a USB receiver.
extern int UsbResetWait;

// What the factory needs from the settings store (section "Comm").
struct TLinkSettings {
    TConnectionMode mode = cmDirect; // ConnectionType
    std::string ethrHost;            // EthrDHost
    std::string ethrPort = "8002";   // EthrDTCPPort
    bool infrared = false;           // IrDA
    std::string baud = "115200";     // baud (radio modem start-up speed)
    std::string usbVendors;          // USBVendors: the receiver maker's USB vendor ids
    bool useFastWriteByte = true;    // Download/UseFastWriteByte, for a parallel link
};

// Builds the link the settings name, makes it current and returns its error text ("" when
// usable). A caller that gets a text closes the link.
std::string CreateReceiverConnection(const std::string& portName, const TLinkSettings& settings);
void CloseReceiverConnection();

// "COMn" is /dev/ttyS(n-1); any other name is a device path as it stands. A serial port name
// is "COMn" or any absolute path.
std::string SerialDevicePath(const std::string& portName);
bool IsSerialPortName(std::string_view portName);

} // namespace telvor
