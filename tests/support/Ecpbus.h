#pragma once
// A simulated ECP port with telvor-sim's receiver behind it, installed as the program's
// parallel bus for as long as the object lives: "LPT1" at 0x378, owned through "/dev/parport0".
#include "links/Parallelbus.h"
#include "sim/Ecpport.h"
#include "sim/Receiver.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace telvor::testing {

class TSimParallelBus final : public TParallelBus {
public:
    explicit TSimParallelBus(telvorsim::TSimOptions options = {}, int fifoSize = 16)
        : port(0x378, fifoSize), receiver(std::move(options)) {
        port.attach(receiver.startSocketpair());
        previous_ = installParallelBus(this);
    }
    ~TSimParallelBus() override {
        installParallelBus(previous_);
        receiver.stop();
    }

    std::vector<TParallelPortInfo> ports() override {
        if (!listed)
            return {};
        return {{"LPT1", port.base(), "/dev/parport0"}};
    }
    bool rawAccess() override { return listed; }
    TAcquire acquire(const TParallelPortInfo&) override {
        if (!driverLoaded)
            return TAcquire::NotLoaded;
        if (refuseClaim)
            return TAcquire::Refused;
        claimed = true;
        return TAcquire::Acquired;
    }
    void release() override { claimed = false; }
    bool enableRegisters(std::uint16_t base) override { return allowIo && base == port.base(); }
    std::uint8_t in(std::uint16_t address) override { return port.in(address); }
    void out(std::uint16_t address, std::uint8_t value) override { port.out(address, value); }

    telvorsim::TSimEcpPort port;
    telvorsim::TSimReceiver receiver;
    std::atomic<bool> listed{true}, driverLoaded{true}, refuseClaim{false}, allowIo{true};
    std::atomic<bool> claimed{false};

private:
    TParallelBus* previous_ = nullptr;
};

} // namespace telvor::testing
