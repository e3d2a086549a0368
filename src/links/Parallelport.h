#pragma once
// A parallel port driven as an IEEE-1284 ECP port at register level: finds and owns the
// port, negotiates ECP mode with the receiver, and moves bytes through the port's FIFO,
// turning the line around for every write. At most one exists in the program.
#include "links/Parallelbus.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace telvor {

// Download/UseFastWriteByte, read at every negotiation: a single byte skips the FIFO pause.
extern std::atomic<bool> UseFastWriteByte;

// Wait-loop pass counts, calibrated at the first successful probe of the program run.
struct TParallelWaits {
    std::uint32_t longWait;
    std::uint32_t shortWait;
    std::uint32_t pollWait;
};
TParallelWaits parallelWaits();

class TParallelPort {
public:
    // Opens the named port ("LPT1") of the bus and negotiates; ErrorText() tells a failure.
    explicit TParallelPort(const std::string& portName, TParallelBus& bus = parallelBus());
    // The port at this I/O base (the terminal's direct port at 0x378).
    explicit TParallelPort(std::uint16_t base, TParallelBus& bus = parallelBus());
    ~TParallelPort();
    TParallelPort(const TParallelPort&) = delete;
    TParallelPort& operator=(const TParallelPort&) = delete;

    std::string ErrorText() const;
    int FifoSize() const { return fifoSize_; }
    // A single byte goes out without the FIFO pause (Download/UseFastWriteByte).
    bool FastWriteByte() const { return fastWrite_; }

    // Closes ECP mode and negotiates again (the link's reconnect).
    bool Renegotiate();
    // Bytes written; 0 when the line could not be turned forward.
    int Write(const std::uint8_t* bytes, int count);
    // What the FIFO holds now, up to `count`; never waits for more.
    int Read(std::uint8_t* buffer, int count);
    // 0 data waiting, 1 nothing, 2 the receiver has not turned the line around yet.
    int Poll();
    // Reads until `count` bytes came, `timeoutMs` passed or Abort() was called.
    int ReadTimed(std::uint8_t* buffer, int count, int timeoutMs);
    // Any thread: ReadTimed gives up at once until ClearAbort().
    void Abort() { abort_.store(true); }
    void ClearAbort() { abort_.store(false); }

private:
    void open(const TParallelPortInfo* info);
    bool fail(std::string text);
    bool negotiate();
    bool probe();
    void calibrate();
    bool readConfiguration();
    bool detectFifoSize();
    bool enterIeee1284();
    bool setupEcp();
    void drain();
    void closeEcp();
    bool toForward();
    bool toReverse();
    bool reverseReady();
    int writeFifo(const std::uint8_t* bytes, int count);
    int readLocked(std::uint8_t* buffer, int count);

    std::uint8_t status() { return bus_.in(base_ + 1); }
    std::uint8_t control() { return bus_.in(base_ + 2); }
    void setControl(std::uint8_t value);
    void setEcr(std::uint8_t value) { bus_.out(base_ + 0x402, value); }
    std::uint8_t ecr() { return bus_.in(base_ + 0x402); }
    // Reads the status up to `passes` times; true once `ready` holds.
    template <class F> bool waitStatus(std::uint32_t passes, F ready);

    TParallelBus& bus_;
    std::string name_;
    std::uint16_t base_ = 0;
    mutable std::recursive_mutex lock_;
    std::string errorText_;
    int fifoSize_ = 0;
    int pword_ = 0;
    bool acquired_ = false;
    bool ecp_ = false;
    bool fastWrite_ = true;
    bool reversePending_ = false;
    std::uint32_t reverseTick_ = 0;
    std::atomic<bool> abort_{false};
};

} // namespace telvor
