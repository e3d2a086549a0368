// The serial link on a pseudo-terminal: exclusive open, speed, handshake, command lines, the
// reply buffer in idle mode, unplugging, and closing while the input thread waits.
#include "links/Modemio.h"
#include "links/Serialconnection.h"
#include "links/Serialspeed.h"
#include "protocol/Commthread.h"
#include "protocol/Debugcore.h"
#include "support/Peers.h"

#include <chrono>
#include <termios.h>

namespace telvor::testing {
namespace {

class SerialLink : public TLinkFixture {
protected:
    std::string open(const std::string& port, TLinkSettings settings = {}) {
        return CreateReceiverConnection(port, settings);
    }
    std::string replyBuffer() {
        return std::string(reinterpret_cast<const char*>(CurrentConnection->Input.Data()),
                           CurrentConnection->Input.Fill());
    }
};

TEST_F(SerialLink, OpensExclusivelyAndNamesThePortInItsError) {
    TPty pty;
    ASSERT_EQ(open(pty.slave()), "");
    ASSERT_NE(CurrentConnection, nullptr);
    EXPECT_EQ(CurrentConnection->Kind, kLinkSerial);
    EXPECT_TRUE(CurrentConnection->ThreadStarted());
    EXPECT_EQ(CurrentConnection->GetSpeed(), 115200u);

    // A second link on the held port fails like a COM port held by another program.
    TSerialConnection second(pty.slave(), false);
    EXPECT_EQ(second.ErrorText(), "Open " + pty.slave() + " port failed: Device or resource busy");
    EXPECT_FALSE(second.ThreadStarted());

    TSerialConnection missing("/dev/telvor-no-such-port", false);
    EXPECT_EQ(missing.ErrorText(),
              "Open /dev/telvor-no-such-port port failed: No such file or directory");

    // Once closed, the same port opens again.
    CloseReceiverConnection();
    EXPECT_EQ(CurrentConnection, nullptr);
    EXPECT_EQ(open(pty.slave()), "");
}

TEST_F(SerialLink, FactoryChoosesByPortNameAndMode) {
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("COM12"), "/dev/ttyS11");
    EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");

    EXPECT_EQ(open("com1"), "Error: Not enough memory to create object!");
    EXPECT_EQ(CurrentConnection, nullptr);
    CloseReceiverConnection(); // nothing to close: no effect

    TLinkSettings client;
    client.mode = cmInternetClient;
    EXPECT_EQ(open("COM1", client), "");
    EXPECT_EQ(CurrentConnection->Kind, kLinkInternetClient);
    EXPECT_FALSE(CurrentConnection->ThreadStarted());

    TLinkSettings ethernet;
    ethernet.ethrHost = "127.0.0.1";
    ethernet.ethrPort = "8002";
    EXPECT_EQ(open("ETHR", ethernet), "");
    EXPECT_EQ(CurrentConnection->Kind, kLinkEthernet);
    EXPECT_FALSE(CurrentConnection->ThreadStarted()); // not before it has connected
}

TEST_F(SerialLink, SetsAnySpeedAndTheHandshake) {
    TPty pty;
    ASSERT_EQ(open(pty.slave()), "");
    auto* link = static_cast<TSerialConnection*>(CurrentConnection);
    EXPECT_EQ(link->WriteDelay(), 10);
    ASSERT_TRUE(link->SetSpeed(9600));
    EXPECT_EQ(link->GetSpeed(), 9600u);
    EXPECT_EQ(link->WriteDelay(), 15);
    // The peer of the pty sees the standard rate code.
    termios seen{};
    ASSERT_EQ(tcgetattr(pty.master(), &seen), 0);
    EXPECT_EQ(cfgetospeed(&seen), static_cast<speed_t>(B9600));
    EXPECT_EQ(seen.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));

    ASSERT_TRUE(link->SetSpeed(250000)); // no standard code
    EXPECT_EQ(GetSerialSpeed(link->PortHandle()), 250000u);

    ASSERT_TRUE(link->SetHandshake(true));
    ASSERT_EQ(tcgetattr(link->PortHandle(), &seen), 0);
    EXPECT_TRUE(seen.c_cflag & CRTSCTS);
    ASSERT_TRUE(link->SetHandshake(false));
    ASSERT_EQ(tcgetattr(link->PortHandle(), &seen), 0);
    EXPECT_FALSE(seen.c_cflag & CRTSCTS);

    // An infrared port keeps its settings.
    link->SetInfrared(true);
    EXPECT_TRUE(link->SetHandshake(true));
    ASSERT_EQ(tcgetattr(link->PortHandle(), &seen), 0);
    EXPECT_FALSE(seen.c_cflag & CRTSCTS);
}

TEST_F(SerialLink, SendsCommandLinesAndCollectsRepliesInIdleMode) {
    TPty pty;
    ASSERT_EQ(open(pty.slave()), "");
    auto lineEnd = [](const std::string& s) { return s.find("\r\n") != std::string::npos; };

    ASSERT_TRUE(CurrentConnection->SendCommand("%%set,reset,yes"));
    std::string sent = pty.readUntil(lineEnd, 2000);
    ASSERT_EQ(sent.size(), std::string("%%set,reset,yes@XX\r\n").size()) << sent;
    EXPECT_EQ(sent.substr(0, 16), "%%set,reset,yes@");

    ASSERT_TRUE(CurrentConnection->SendCommand("dm;em,,vxr/PG"));
    EXPECT_EQ(pty.readUntil(lineEnd, 2000), "dm;em,,vxr/PG\r\n");
    ASSERT_TRUE(CurrentConnection->SendCommand("a&&b"));
    EXPECT_EQ(pty.readUntil(lineEnd, 2000), "a&&b\r\n");

    // Idle: a reply in two pieces ends up whole in the reply buffer, with nothing added.
    const std::string reply = makeReply("VORNA");
    pty.write(reply.substr(0, 3));
    ASSERT_TRUE(until([&] { return CurrentConnection->Input.Fill() >= 3; }));
    pty.write(reply.substr(3));
    ASSERT_TRUE(until([&] { return replyBuffer() == reply; })) << replyBuffer();

    // Sending in idle mode empties the buffer first.
    ASSERT_TRUE(CurrentConnection->SendCommand("dm"));
    EXPECT_EQ(CurrentConnection->Input.Fill(), 0);
}

TEST_F(SerialLink, LineErrorTextsInTheirOrder) {
    EXPECT_EQ(LineErrorText(kLineParity | kLineFrame), "Framing error,Parity error");
    EXPECT_EQ(LineErrorText(kLineTxFull | kLineBreak | kLineRxOverflow | kLineOverrun | kLineIo),
              "Break detected,I/O error,Serial overrun,Input buffer overflow,Output buffer full");
    EXPECT_EQ(LineErrorText(0), "Serial overruns");
}

TEST_F(SerialLink, ReadTimedGivesUpAfterTimeoutAndTransmissionTime) {
    TPty pty;
    TSerialConnection link(pty.slave(), false);
    ASSERT_EQ(link.ErrorText(), "");
    std::uint8_t buffer[50];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.ReadTimed(buffer, 50, 100), 0);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_GE(ms, 100); // 100 + 50 x 10000 / 115200, on a millisecond tick

    pty.write("0123456789");
    EXPECT_EQ(link.ReadTimed(buffer, 10, 2000), 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 10), "0123456789");
}

TEST_F(SerialLink, RadioModemSendsItsStartupTextBeforeTheThreadRuns) {
    TPty pty;
    TLinkSettings modem;
    modem.mode = cmRadioModem;
    modem.baud = "38400";
    // Nobody answers: construction takes about 100 ms more and the link is still usable.
    ASSERT_EQ(open(pty.slave(), modem), "");
    EXPECT_EQ(CurrentConnection->Kind, kLinkSerial);
    EXPECT_EQ(CurrentConnection->GetSpeed(), 38400u);
    EXPECT_TRUE(CurrentConnection->ThreadStarted());
    EXPECT_EQ(pty.readUntil([](const std::string& s) { return s.size() >= 26; }, 2000),
              "%%print,/par/version/main\n");

    modem.baud = "fast";
    CloseReceiverConnection();
    EXPECT_EQ(open("/dev/telvor-no-such-port", modem),
              "Open /dev/telvor-no-such-port port failed: No such file or directory");
}

TEST_F(SerialLink, UnpluggedPortIsReportedOnceAndDoesNotSpin) {
    TPty pty;
    ASSERT_EQ(open(pty.slave()), "");
    bridge_.setHandler(TWindowId::Debug, [](std::uint32_t code) { debugCore().handleCode(code); });
    const long errorsBefore = debugCore().totalErrors();

    pty.write(makeReply("x"));
    ASSERT_TRUE(until([&] { return CurrentConnection->Input.Fill() > 0; }));
    pty.closeMaster();
    ASSERT_TRUE(until([&] { return debugCore().totalErrors() > errorsBefore; }));
    EXPECT_EQ(CurrentConnection->ErrorText(), "Device removed");

    const double cpuBefore = processCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    until([] { return false; }, 10);
    EXPECT_EQ(debugCore().totalErrors(), errorsBefore + 1);
    EXPECT_LT(processCpuMs() - cpuBefore, 150.0) << "the input thread spins";
    EXPECT_EQ(CurrentConnection->Write(reinterpret_cast<const std::uint8_t*>("dm\r\n"), 4), 0);

    auto start = std::chrono::steady_clock::now();
    CloseReceiverConnection();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SerialLink, ClosingAWaitingLinkAlwaysReturns) {
    TPty pty;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(open(pty.slave()), "") << "round " << i;
        if (i % 20 == 0) // sometimes with data in flight
            pty.write(makeReply("busy"));
        CloseReceiverConnection();
    }
}

} // namespace
} // namespace telvor::testing
