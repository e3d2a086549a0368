// The real libusb path on devices that umockdev makes up in sysfs and /dev: what enumeration
// finds and names, and how an open ends on a device node that answers no USB request (no
// receiver can be recorded here, so the bulk transfers are covered by the double only).
#include "links/Usblibusb.h"
#include "links/Usbconnection.h"
#include "support/Tempdir.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <umockdev.h>

namespace telvor::testing {
namespace {

// A mouse, a receiver, a CDC-ACM receiver (a serial port) and a receiver without a serial
// number, as umockdev-record writes them.
const char* const kDevices[] = {
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
    "N: bus/usb/001/002\n"
    "E: DEVNAME=/dev/bus/usb/001/002\n"
    "E: DEVTYPE=usb_device\n"
    "E: DRIVER=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=002\n"
    "E: SUBSYSTEM=usb\n"
    "A: busnum=1\n"
    "A: devnum=2\n"
    "A: idVendor=046d\n"
    "A: idProduct=0001\n"
    "A: serial=MOUSE1\n"
    "A: bConfigurationValue=1\n"
    "A: speed=480\n"
    "H: "
    "descriptors="
    "12010002000000406D0401000001010203010902190001010080320904000001030102000705810308000A\n",
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2\n"
    "N: bus/usb/001/003\n"
    "E: DEVNAME=/dev/bus/usb/001/003\n"
    "E: DEVTYPE=usb_device\n"
    "E: DRIVER=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=003\n"
    "E: SUBSYSTEM=usb\n"
    "A: busnum=1\n"
    "A: devnum=3\n"
    "A: idVendor=1ee7\n"
    "A: idProduct=0010\n"
    "A: serial=0421873\n"
    "A: bConfigurationValue=1\n"
    "A: speed=480\n"
    "H: "
    "descriptors="
    "12010002FF000040E71E10000001010203010902200001010080320904000002FF0000000705810240000007050202"
    "400000\n",
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-3\n"
    "N: bus/usb/001/004\n"
    "E: DEVNAME=/dev/bus/usb/001/004\n"
    "E: DEVTYPE=usb_device\n"
    "E: DRIVER=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=004\n"
    "E: SUBSYSTEM=usb\n"
    "A: busnum=1\n"
    "A: devnum=4\n"
    "A: idVendor=1ee7\n"
    "A: idProduct=0012\n"
    "A: serial=ACM9\n"
    "A: bConfigurationValue=1\n"
    "A: speed=480\n"
    "H: "
    "descriptors="
    "1201000202000040E71E12000001010203010902300002010080320904000001020201000705830308001009040100"
    "020A0000000705810240000007050202400000\n",
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-4\n"
    "N: bus/usb/001/005\n"
    "E: DEVNAME=/dev/bus/usb/001/005\n"
    "E: DEVTYPE=usb_device\n"
    "E: DRIVER=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=005\n"
    "E: SUBSYSTEM=usb\n"
    "A: busnum=1\n"
    "A: devnum=5\n"
    "A: idVendor=1ee7\n"
    "A: idProduct=0011\n"
    "A: bConfigurationValue=1\n"
    "A: speed=480\n"
    "H: "
    "descriptors="
    "12010002FF000040E71E11000001010200010902200001010080320904000002FF0000000705810240000007050202"
    "400000\n"};

class UsbLibusb : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
        bed = umockdev_testbed_new();
        for (const char* d : kDevices) {
            GError* error = nullptr;
            ASSERT_TRUE(umockdev_testbed_add_from_string(bed, d, &error))
                << (error ? error->message : "");
        }
    }
    void TearDown() override {
        if (bed)
            g_object_unref(bed);
    }

    TTempDir runtime{"telvor-usb-libusb"};
    UMockdevTestbed* bed = nullptr;
};

TEST_F(UsbLibusb, EnumerationFindsAndNamesTheReceivers) {
    std::vector<TUsbDeviceInfo> devices;
    ASSERT_EQ(libusbBackend().Enumerate(devices), kUsbOk);
    ASSERT_EQ(devices.size(), 4u);
    int serialPorts = 0;
    for (const auto& d : devices)
        serialPorts += d.serialPort;
    EXPECT_EQ(serialPorts, 1);

    std::vector<std::string> names;
    EXPECT_EQ(ListUsbReceivers(names, {0x1ee7}), 2);
    // Enumeration order is the system's: compare as a set.
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "0421873");
    EXPECT_EQ(names[1].rfind("Rcv_", 0), 0u) << names[1];
}

TEST_F(UsbLibusb, OpenOnADeviceThatAnswersNothingFailsCleanly) {
    {
        CUSBConnection link("USB 0421873", true, {0x1ee7});
        EXPECT_EQ(link.ErrorText(), "Can not open device");
        EXPECT_FALSE(link.ReaderRunning());
    }
    // The CDC-ACM receiver belongs to the serial link.
    CUSBConnection acm("USB ACM9", true, {0x1ee7});
    EXPECT_EQ(acm.ErrorText(), "Can not open device");
}

} // namespace
} // namespace telvor::testing
