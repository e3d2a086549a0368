#pragma once
// A PC parallel port in ECP mode with the receiver's parallel interface behind it, at register
// level: data, status and control lines, the extended control register and its modes, a FIFO,
// configuration registers A and B, and the IEEE-1284 negotiation and termination handshakes.
// The peripheral passes forward bytes to the receiver's end of a byte channel (a socket pair
// to a simulated receiver) and fills the FIFO from it in reverse.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace telvorsim {

struct TEcpFaults {
    bool noPort = false;           // nothing answers: every register reads 0xFF
    int wordBytes = 1;             // configuration register A's PWord: 1, 2 or 4 bytes
    bool fifoNeverFills = false;   // the FIFO never reports full
    bool noNegotiationAck = false; // the peripheral ignores the IEEE-1284 request
    // The next forward byte stalls the FIFO until the port is negotiated again.
    bool stallNextWrite = false;
};

class TSimEcpPort {
public:
    explicit TSimEcpPort(std::uint16_t base = 0x378, int fifoSize = 16);
    ~TSimEcpPort();
    TSimEcpPort(const TSimEcpPort&) = delete;
    TSimEcpPort& operator=(const TSimEcpPort&) = delete;

    // The peripheral's channel to the receiver; owned and closed by the port. -1 detaches.
    void attach(int fd);
    void setFaults(const TEcpFaults& faults);

    std::uint16_t base() const { return base_; }
    std::uint8_t in(std::uint16_t address);
    void out(std::uint16_t address, std::uint8_t value);

    // For tests.
    long accesses() const;         // register reads and writes so far
    int negotiations() const;      // completed IEEE-1284 negotiations
    bool inEcpMode() const;        // negotiated and not terminated
    std::string forwarded() const; // every byte passed to the receiver

private:
    enum class TPhase { Compatible, Requested, Strobed, Negotiated, Ecp, Terminating };
    std::uint8_t statusLocked();
    std::uint8_t ecrLocked();
    void controlChanged(std::uint8_t old);
    void fifoWrite(std::uint8_t value);
    std::uint8_t fifoRead();
    bool reverse() const;
    void refill();
    void flush();
    int mode() const { return ecr_ >> 5; }

    const std::uint16_t base_;
    const std::size_t fifoSize_;
    mutable std::mutex lock_;
    TEcpFaults faults_;
    int fd_ = -1;
    TPhase phase_ = TPhase::Compatible;
    std::uint8_t data_ = 0, control_ = 0xCC, ecr_ = 0x14, configB_ = 0;
    std::deque<std::uint8_t> fifo_;
    std::string pendingIn_, pendingOut_, forwarded_;
    bool stalled_ = false;
    long accesses_ = 0;
    int negotiations_ = 0;
};

} // namespace telvorsim
