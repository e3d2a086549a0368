#pragma once
// The ports the connection dialog offers, found on this computer.
#include <functional>
#include <string>
#include <vector>

namespace telvor {

struct TPortEntry {
    std::string name;   // what is stored in Comm/port and handed to the link factory
    std::string device; // the device node behind it ("/dev/ttyUSB0"), empty for ETHR/USB/LPT
    std::string label;  // what the list shows
};

struct TPortScan {
    std::string sysRoot = "/sys"; // tests point these at a fake tree
    std::string devRoot = "/dev";
};

// Serial devices that exist: ttyS with real hardware (uart type not 0), ttyUSB, ttyACM, each
// under its /dev/serial/by-id name when there is one. Sorted by kind, then number.
std::vector<TPortEntry> serialPorts(const TPortScan& scan = {});

// USB receivers and parallel ports come from their links (USB: the receivers with the vendor
// ids of Comm/USBVendors); a test may put its own lister in. Each lister returns names as the
// factory takes them ("LPT1", receiver names).
void setUsbReceiverLister(std::function<std::vector<std::string>()> lister);
void setParallelPortLister(std::function<std::vector<std::string>()> lister);
std::vector<std::string> usbReceivers();

// The whole list of the dialog: serial ports (or "COM1" when there are none), parallel ports,
// "ETHR", then "USB" when a USB receiver is attached.
std::vector<TPortEntry> dialogPorts(const TPortScan& scan = {});

// Index in `ports` of the stored port name: same name, same device (also for "COMn" and for
// by-id links), or "USB" for any "USB ..." name; -1 when absent.
int findPort(const std::vector<TPortEntry>& ports, const std::string& stored,
             const TPortScan& scan = {});

// Device path for a serial port name: "COMn" is /dev/ttyS(n-1), a path stays as it is.
std::string serialDevicePath(const std::string& portName, const TPortScan& scan = {});

// When the device exists but this user may not open it, a text telling how to get access
// (the group that owns the device, usually "dialout"); empty otherwise.
std::string accessHint(const std::string& portName, const TPortScan& scan = {});
std::string accessHintText(const std::string& device, const std::string& group);

} // namespace telvor
