// The USB link on the device layer's double: receivers played by telvor-sim, named, opened,
// refused, failing and pulled out; and the descriptors and settings it reads.
#include "links/Usbconnection.h"
#include "links/Usbdouble.h"
#include "support/Eventually.h"
#include "support/Peers.h"
#include "support/Tempdir.h"

#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Latestmsgs.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace telvor::testing {
namespace {

TLinkSettings usbSettings() {
    TLinkSettings s;
    s.usbVendors = "0x1EE7";
    return s;
}

class UsbLink : public TLinkFixture {
protected:
    void SetUp() override {
        TLinkFixture::SetUp();
        SetLatencyAllowance(0);
        // Lock files of this run only: other test programs open receivers of the same names.
        ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
    }
    void TearDown() override {
        CloseReceiverConnection();
        TLinkFixture::TearDown();
    }
    CUSBConnection* open(const std::string& port) {
        const std::string error = CreateReceiverConnection(port, usbSettings());
        EXPECT_EQ(error, "");
        return error.empty() ? static_cast<CUSBConnection*>(CurrentConnection) : nullptr;
    }

    TTempDir runtime{"telvor-usb"};
    TUsbDouble bus;
};

TEST(UsbSettings, VendorIdsAreHexadecimalWordsAndBadOnesAreSkipped) {
    EXPECT_EQ(ParseVendorIds("0x1EE7, 2b0c;ffff"),
              (std::vector<std::uint16_t>{0x1ee7, 0x2b0c, 0xffff}));
    EXPECT_EQ(ParseVendorIds("12345 0xg1 x 0x 1ee7"), (std::vector<std::uint16_t>{0x1ee7}));
    EXPECT_TRUE(ParseVendorIds("").empty());

    TUsbDeviceInfo d{0x1ee7, 1023, "1-1", false};
    EXPECT_TRUE(IsUsbReceiver(d, {0x1ee7}));
    d.productId = 1024;
    EXPECT_FALSE(IsUsbReceiver(d, {0x1ee7}));
    d.productId = 5;
    EXPECT_FALSE(IsUsbReceiver(d, {0x2b0c}));
    d.serialPort = true; // a CDC-ACM receiver stays with the serial link
    EXPECT_FALSE(IsUsbReceiver(d, {0x1ee7}));
}

TEST(UsbDescriptors, EndpointPairOfTheFirstInterface) {
    auto config = TUsbDouble::receiverConfig();
    auto ep = ParseEndpoints(config.data(), config.size());
    ASSERT_TRUE(ep);
    EXPECT_EQ(ep->in, 0x81);
    EXPECT_EQ(ep->out, 0x02);

    // OUT first, and a class-specific descriptor between interface and endpoints.
    std::vector<std::uint8_t> other = {9, 2,    37, 0, 1, 1, 0,    0x80, 50,   9, 4, 0, 0,
                                       2, 0xff, 0,  0, 0, 5, 0x24, 0,    1,    1, 7, 5, 0x03,
                                       2, 0x40, 0,  0, 7, 5, 0x84, 2,    0x40, 0, 0};
    ep = ParseEndpoints(other.data(), other.size());
    ASSERT_TRUE(ep);
    EXPECT_EQ(ep->in, 0x84);
    EXPECT_EQ(ep->out, 0x03);

    // Short, two of one direction, an interrupt endpoint, a zero length: no pair.
    EXPECT_FALSE(ParseEndpoints(config.data(), 31));
    auto twoIn = config;
    twoIn[27] = 0x82;
    EXPECT_FALSE(ParseEndpoints(twoIn.data(), twoIn.size()));
    auto interrupt = config;
    interrupt[21] = 3;
    EXPECT_FALSE(ParseEndpoints(interrupt.data(), interrupt.size()));
    auto zero = config;
    zero[18] = 0;
    EXPECT_FALSE(ParseEndpoints(zero.data(), zero.size()));
}

TEST_F(UsbLink, ReceiversAreNamedBySerialNumberOrCountedInOrder) {
    bus.addDevice(0x046d, 0x0001, "MOUSE1"); // another vendor
    auto& first = bus.addReceiver("");       // the first receiver, without a serial number
    bus.addDevice(TUsbDouble::kVendor, 1024, "BIGPID");
    bus.addReceiver("0421873");
    bus.addReceiver("");

    std::vector<std::string> names;
    EXPECT_EQ(ListUsbReceivers(names, {TUsbDouble::kVendor}), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"Rcv_1", "0421873", "Rcv_3"}));

    names.clear();
    EXPECT_EQ(ListUsbReceivers(names, {}), 0);
    bus.failEnumeration(true);
    EXPECT_EQ(ListUsbReceivers(names, {TUsbDouble::kVendor}), 0);
    EXPECT_TRUE(names.empty());
    bus.failEnumeration(false);

    // "Rcv_1" opens the receiver without a serial number, and it answers.
    CUSBConnection* link = open("USB Rcv_1");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->Kind, kLinkUsb);
    EXPECT_EQ(link->DeviceName(), "Rcv_1");
    EXPECT_EQ(first.opens.load(), 1);
    EXPECT_TRUE(Synchronise(3));
    EXPECT_EQ(PrintParameter("/cur/term", "", 2000), "/dev/usb/a");
}

TEST_F(UsbLink, ReadWithNothingBufferedReturnsAtOnce) {
    bus.addReceiver("0421873");
    // Without the input thread nothing drains the buffer, so Read sees what the reader put.
    CUSBConnection link("USB 0421873", false, {TUsbDouble::kVendor});
    ASSERT_EQ(link.ErrorText(), "");
    std::uint8_t buffer[64];
    EXPECT_EQ(link.Read(buffer, sizeof buffer), 0);

    const std::string line = "%%print,/par/rcv/model\r\n";
    EXPECT_EQ(link.Write(reinterpret_cast<const std::uint8_t*>(line.data()), int(line.size())),
              int(line.size()));
    ASSERT_TRUE(eventually([&] { return link.Buffered() >= 10; }));
    std::string got;
    int n;
    while ((n = link.Read(buffer, 4)) > 0)
        got.append(reinterpret_cast<char*>(buffer), std::size_t(n));
    EXPECT_NE(got.find("VORNA"), std::string::npos) << got;
    EXPECT_EQ(link.Buffered(), 0);
}

TEST_F(UsbLink, SecondLinkAndSecondProgramAreRefused) {
    bus.addReceiver("0421873");
    ASSERT_TRUE(open("USB 0421873"));

    {
        CUSBConnection second("USB 0421873", true, {TUsbDouble::kVendor});
        EXPECT_EQ(second.ErrorText(), "Only one USB Connection available");
    }
    // The refused one gave back nothing of the first.
    EXPECT_TRUE(Synchronise(3));
    CloseReceiverConnection();

    // Another program holds the receiver: its lock stands in the runtime folder.
    const std::string lock = UsbLockPath("USB 0421873");
    EXPECT_EQ(lock.rfind(runtime.path.string(), 0), 0u) << lock;
    const int other = ::open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(CreateReceiverConnection("USB 0421873", usbSettings()),
              "Receiver USB connection is busy");
    CloseReceiverConnection();
    ::close(other);
    EXPECT_TRUE(open("USB 0421873"));
    EXPECT_TRUE(Synchronise(3));
}

TEST_F(UsbLink, OpenFailuresSayWhy) {
    auto& r = bus.addReceiver("0421873");
    EXPECT_EQ(CreateReceiverConnection("USB OTHER", usbSettings()), "Can not open device");
    CloseReceiverConnection();

    // Without the udev rule the user may see the receiver but not open it.
    r.openStatus = kUsbAccessDenied;
    const std::string denied = CreateReceiverConnection("USB 0421873", usbSettings());
    EXPECT_EQ(denied.rfind("Can not open device\n", 0), 0u) << denied;
    EXPECT_NE(denied.find("1ee7:0010"), std::string::npos) << denied;
    EXPECT_NE(denied.find("70-telvor.rules"), std::string::npos) << denied;
    CloseReceiverConnection();

    // Another program claimed the interface without our lock file.
    r.openStatus = kUsbOk;
    r.configStatus = kUsbBusy;
    EXPECT_EQ(CreateReceiverConnection("USB 0421873", usbSettings()),
              "Receiver USB connection is busy");
    CloseReceiverConnection();

    // A device whose interface is not one bulk pair.
    r.configStatus = kUsbOk;
    r.config.resize(25);
    EXPECT_EQ(CreateReceiverConnection("USB 0421873", usbSettings()), "Can not open device");
    CloseReceiverConnection();
    // "USB" alone takes the first receiver.
    r.config = TUsbDouble::receiverConfig();
    ASSERT_TRUE(open("USB"));
    EXPECT_TRUE(Synchronise(3));
}

TEST_F(UsbLink, ReaderBearsThreeErrorsInARowAndStopsAtTheFourth) {
    auto& r = bus.addReceiver("0421873");
    CUSBConnection* link = open("USB 0421873");
    ASSERT_TRUE(link);

    // Three failed reads, then data again: the count starts over.
    r.failingReads = 3;
    ASSERT_TRUE(Synchronise(3));
    r.failingReads = 3;
    ASSERT_TRUE(Synchronise(3));
    // Our own cancelled reads are no errors at all.
    r.readFailure = kUsbCancelled;
    r.failingReads = 10;
    ASSERT_TRUE(Synchronise(3));
    EXPECT_TRUE(link->ReaderRunning());

    // The fourth in a row stops the reader, and the link says so instead of going silent.
    r.readFailure = kUsbIoError;
    r.failingReads = 4;
    ASSERT_TRUE(eventually([&] { return !link->ReaderRunning(); }));
    EXPECT_FALSE(link->IsConnected());
    ASSERT_TRUE(eventually([&] { return !link->ErrorText().empty(); }));
    EXPECT_EQ(link->ErrorText(), "USB reader stopped: Input/output error");
}

TEST_F(UsbLink, UnplugWhileReadingEndsTheLinkAndTheCloseDoesNotHang) {
    auto& r = bus.addReceiver("0421873");
    CUSBConnection* link = open("USB 0421873");
    ASSERT_TRUE(link);
    SetInputMode(TInputMode::Monitoring);
    ASSERT_TRUE(EnableMessages("/RT,/PG,/EE"));
    ASSERT_TRUE(until([] {
        std::lock_guard lock(commState().mainLock);
        return !latestMessages().Empty(TLatestMessages::RowOf('P', 'G'));
    }));

    bus.unplug(r);
    ASSERT_TRUE(until([&] { return !link->IsConnected(); }));
    ASSERT_TRUE(until([&] { return link->ErrorText() == "Device removed"; }));
    EXPECT_FALSE(link->SendCommand("dm"));
    std::vector<std::string> names;
    EXPECT_EQ(ListUsbReceivers(names, {TUsbDouble::kVendor}), 0);
    CloseReceiverConnection();
    EXPECT_EQ(CurrentConnection, nullptr);
    SetInputMode(TInputMode::Idle);
}

TEST_F(UsbLink, AnnouncedResetIsNoLoss) {
    auto& r = bus.addReceiver("0421873");
    CUSBConnection* link = open("USB 0421873");
    ASSERT_TRUE(link);
    link->SetEventMask(kEventError);
    bus.unplug(r);
    ASSERT_TRUE(eventually([&] { return !link->ReaderRunning(); }));
    EXPECT_TRUE(link->IsConnected());
}

} // namespace
} // namespace telvor::testing
