#pragma once
// Register access to a PC parallel port, behind one small interface so that the ECP driver
// runs against real hardware (ppdev for ownership, ioperm/inb/outb for the registers) or a
// simulated port in tests. One bus serves the program; tests install their own.
#include <cstdint>
#include <string>
#include <vector>

namespace telvor {

struct TParallelPortInfo {
    std::string name;   // "LPT1", "LPT2", ...
    std::uint16_t base; // I/O base address
    std::string device; // the ppdev node that owns it ("/dev/parport0"), may be empty
};

class TParallelBus {
public:
    enum class TAcquire { NotLoaded, Acquired, Refused };

    virtual ~TParallelBus() = default;

    // The ports the system knows, with standard base addresses only, sorted by name.
    virtual std::vector<TParallelPortInfo> ports() = 0;
    // Whether this process may touch port registers at all.
    virtual bool rawAccess() = 0;
    // Ownership of the port through its driver: NotLoaded when there is no driver to ask.
    virtual TAcquire acquire(const TParallelPortInfo& port) = 0;
    virtual void release() = 0;
    // Opens the registers at base and base + 0x400; false when the process may not.
    virtual bool enableRegisters(std::uint16_t base) = 0;
    virtual std::uint8_t in(std::uint16_t address) = 0;
    virtual void out(std::uint16_t address, std::uint8_t value) = 0;
    // Real hardware: direction changes run at raised scheduling priority.
    virtual bool timeCritical() const { return false; }
};

// The program's bus: the kernel's ports unless a test installed another. Install returns the
// previous one; null restores the real one.
TParallelBus& parallelBus();
TParallelBus* installParallelBus(TParallelBus* bus);

// The real backend's view of the kernel's list, from a /proc/sys/dev/parport tree (tests
// point it at a fake one). Unreadable or non-standard entries are left out.
std::vector<TParallelPortInfo> kernelParallelPorts(const std::string& procRoot);

bool isStandardParallelBase(std::uint16_t base);

} // namespace telvor
