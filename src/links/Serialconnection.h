#pragma once
// The link over a serial port (RS-232, USB adapter, infrared port) on Linux termios.
#include "protocol/Link.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace telvor {

// Line-error bits as the port reports them; their texts are joined in this order.
constexpr std::uint32_t kLineBreak = 0x10;
constexpr std::uint32_t kLineFrame = 0x8;
constexpr std::uint32_t kLineIo = 0x400;
constexpr std::uint32_t kLineOverrun = 0x2;
constexpr std::uint32_t kLineRxOverflow = 0x1;
constexpr std::uint32_t kLineParity = 0x4;
constexpr std::uint32_t kLineTxFull = 0x100;

// "Break detected,Framing error,..." for the bits set; "Serial overruns" when none is.
std::string LineErrorText(std::uint32_t errors);

class TSerialConnection : public TReceiverConnection {
public:
    // `resume` starts the input thread once the port is open (the radio modem starts it later).
    TSerialConnection(const std::string& portName, bool resume, bool infrared = false);
    ~TSerialConnection() override;

    // False once the device hung up or vanished.
    bool IsConnected() const override { return !removed_.load(); }
    int Read(std::uint8_t* buffer, int count) override;
    int Write(const std::uint8_t* bytes, int count) override;
    bool SetEventMask(std::uint32_t mask) override;
    void WaitEvent(std::uint32_t& word) override;
    bool SetSpeed(std::uint32_t bitsPerSecond) override;
    bool SetHandshake(bool on) override;
    bool Purge() override;

    // Comm/IrDA, consulted at every use.
    void SetInfrared(bool on) { infrared_.store(on); }
    bool Infrared() const { return infrared_.load(); }
    int WriteDelay() const { return writeDelay_.load(); }
    int PortHandle() const { return fd_; }

protected:
    void WaitReadable(int timeoutMs) override;

private:
    bool Open(bool resume);
    void SetModemLine(int line, bool on);
    // Line errors since the last call, as error bits; 0 when the port keeps no counters.
    std::uint32_t TakeLineErrors();
    void MarkRemoved(std::string text);

    std::string portName_;
    int fd_ = -1;
    std::atomic<int> writeDelay_{10};
    std::atomic<bool> infrared_;
    std::mutex writeLock_;

    // Error counters of the driver (TIOCGICOUNT); a pseudo-terminal has none.
    bool haveCounters_ = false;
    int lastCounts_[5] = {}; // frame, overrun, parity, brk, buf_overrun

    // An unplugged adapter: reported once, then the thread waits only for its wake-up.
    std::atomic<bool> removed_{false};
    std::mutex removedLock_;
    std::string removedText_;
    bool removalReported_ = false;
};

} // namespace telvor
