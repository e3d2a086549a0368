#include "app/Ports.h"
#include "support/Tempdir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace telvor;

namespace {

class FakeSystem : public ::testing::Test {
protected:
    void SetUp() override {
        scan.sysRoot = (root / "sys").string();
        scan.devRoot = (root / "dev").string();
        fs::create_directories(root / "sys/class/tty");
        fs::create_directories(root / "dev/serial/by-id");
    }
    void TearDown() override { setUsbReceiverLister(nullptr); }
    void addTty(const std::string& name, int uartType = -1) {
        fs::create_directories(root / "sys/class/tty" / name);
        if (uartType >= 0)
            std::ofstream(root / "sys/class/tty" / name / "type") << uartType << "\n";
        std::ofstream(root / "dev" / name) << "";
    }
    std::string dev(const std::string& name) { return (root / "dev" / name).string(); }

    telvor::testing::TTempDir tmp{"telvor-ports"};
    const fs::path root = tmp.path;
    TPortScan scan;
};

TEST_F(FakeSystem, ListsRealSerialDevicesInOrderWithStableNames) {
    addTty("ttyS1", 0); // no UART behind it
    addTty("ttyS0", 4);
    addTty("ttyS10", 4);
    addTty("ttyACM0");
    addTty("ttyUSB1");
    addTty("ttyUSB0");
    addTty("tty3");
    fs::create_directories(root / "sys/class/tty/ttyUSB7"); // no device node
    fs::create_symlink("../../ttyUSB1", root / "dev/serial/by-id/usb-FTDI_FT232R_A123-if00-port0");

    auto ports = serialPorts(scan);
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[0].name, dev("ttyS0"));
    EXPECT_EQ(ports[1].name, dev("ttyS10"));
    EXPECT_EQ(ports[2].name, dev("ttyUSB0"));
    EXPECT_EQ(ports[3].name, dev("serial/by-id/usb-FTDI_FT232R_A123-if00-port0"));
    EXPECT_EQ(ports[3].device, dev("ttyUSB1"));
    EXPECT_NE(ports[3].label.find("usb-FTDI_FT232R_A123"), std::string::npos);
    EXPECT_EQ(ports[4].name, dev("ttyACM0"));

    // Stored names from any era select the same device.
    EXPECT_EQ(findPort(ports, "COM1", scan), 0);
    EXPECT_EQ(findPort(ports, "COM11", scan), 1);
    EXPECT_EQ(findPort(ports, dev("ttyUSB1"), scan), 3);
    EXPECT_EQ(findPort(ports, dev("serial/by-id/usb-FTDI_FT232R_A123-if00-port0"), scan), 3);
    EXPECT_EQ(findPort(ports, "COM2", scan), -1);
    EXPECT_EQ(findPort(ports, "/dev/does-not-exist", scan), -1);
}

TEST_F(FakeSystem, WithoutSerialPortsTheDialogStillOffersCom1) {
    auto ports = dialogPorts(scan);
    ASSERT_GE(ports.size(), 2u);
    EXPECT_EQ(ports[0].name, "COM1");
    EXPECT_EQ(ports[1].name, "ETHR");
    EXPECT_EQ(ports.back().name, "ETHR"); // no USB receiver attached

    setUsbReceiverLister([] { return std::vector<std::string>{"Rcv_1"}; });
    ports = dialogPorts(scan);
    EXPECT_EQ(ports.back().name, "USB");
    EXPECT_EQ(findPort(ports, "USB Rcv_1", scan), int(ports.size()) - 1);
}

TEST(Ports, ComNamesMapToTtyS) {
    EXPECT_EQ(serialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(serialDevicePath("COM32"), "/dev/ttyS31");
    EXPECT_EQ(serialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(serialDevicePath("COM0"), "COM0");
}

TEST(Ports, AccessHintNamesTheGroup) {
    std::string hint = accessHintText("/dev/ttyUSB0", "dialout");
    EXPECT_NE(hint.find("/dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(hint.find("usermod -aG dialout"), std::string::npos);
    EXPECT_EQ(accessHintText("/dev/ttyS0", "root").find("usermod"), std::string::npos);
    EXPECT_EQ(accessHint("/nonexistent/port"), "");
}

} // namespace
