#include "links/Parallelport.h"

#include "protocol/Debugcore.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <chrono>
#include <pthread.h>
#include <sched.h>
#include <thread>

namespace telvor {

std::atomic<bool> UseFastWriteByte{true};

namespace {

// Status bits by their ECP names.
constexpr std::uint8_t kPeriphAck = 0x80;
constexpr std::uint8_t kPeriphClk = 0x40;
constexpr std::uint8_t kAckReverse = 0x20;

constexpr std::uint8_t kEcrByte = 0x34;
constexpr std::uint8_t kEcrEcp = 0x74;
constexpr std::uint8_t kEcrTest = 0xD4;
constexpr std::uint8_t kEcrStandard = 0x14;
constexpr std::uint8_t kEcrEmpty = 0x01;
constexpr std::uint8_t kEcrFull = 0x02;

// A FIFO larger than any real chip's: one that never reports full is broken.
constexpr int kMaxFifo = 1024;
constexpr int kDrainLimit = 10240;

std::atomic<int> instances{0};
std::mutex waitsLock;
TParallelWaits waits{1000000, 70000, 100000};
bool calibrated = false;

void debugLine(const std::string& text) {
    debugCore().showLine(text);
}

// Time-critical scheduling for one direction change; where the process may not raise
// itself the change simply runs at normal priority.
class TRaisedPriority {
public:
    explicit TRaisedPriority(bool wanted) {
        if (!wanted || ::pthread_getschedparam(::pthread_self(), &policy_, &param_) != 0)
            return;
        sched_param top{};
        top.sched_priority = ::sched_get_priority_max(SCHED_FIFO);
        raised_ = ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &top) == 0;
    }
    ~TRaisedPriority() {
        if (raised_)
            ::pthread_setschedparam(::pthread_self(), policy_, &param_);
    }
    TRaisedPriority(const TRaisedPriority&) = delete;
    TRaisedPriority& operator=(const TRaisedPriority&) = delete;

private:
    int policy_ = SCHED_OTHER;
    sched_param param_{};
    bool raised_ = false;
};

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TParallelWaits parallelWaits() {
    std::lock_guard lock(waitsLock);
    return waits;
}

template <class F> bool TParallelPort::waitStatus(std::uint32_t passes, F ready) {
    for (std::uint32_t i = 0; i < passes; ++i)
        if (ready(status()))
            return true;
    return false;
}

TParallelPort::TParallelPort(const std::string& portName, TParallelBus& bus)
    : bus_(bus), name_(portName) {
    if (instances.fetch_add(1) != 0) {
        fail("LPT: Port already in use");
        return;
    }
    for (const auto& p : bus_.ports())
        if (p.name == portName) {
            open(&p);
            return;
        }
    open(nullptr);
}

TParallelPort::TParallelPort(std::uint16_t base, TParallelBus& bus) : bus_(bus) {
    if (instances.fetch_add(1) != 0) {
        fail("LPT: Port already in use");
        return;
    }
    for (const auto& p : bus_.ports())
        if (p.base == base) {
            name_ = p.name;
            open(&p);
            return;
        }
    open(nullptr);
}

TParallelPort::~TParallelPort() {
    {
        std::lock_guard lock(lock_);
        if (ecp_)
            closeEcp();
        if (acquired_)
            bus_.release();
    }
    instances.fetch_sub(1);
}

std::string TParallelPort::ErrorText() const {
    std::lock_guard lock(lock_);
    return errorText_;
}

bool TParallelPort::fail(std::string text) {
    std::lock_guard lock(lock_);
    errorText_ = std::move(text);
    return false;
}

void TParallelPort::open(const TParallelPortInfo* info) {
    std::lock_guard lock(lock_);
    if (!info) {
        fail("LPT: Base port address not detected");
        return;
    }
    base_ = info->base;
    switch (bus_.acquire(*info)) {
    case TParallelBus::TAcquire::NotLoaded:
        debugLine("Can't load " +
                  (info->device.empty() ? std::string("port driver") : info->device));
        break;
    case TParallelBus::TAcquire::Refused:
        fail("LPT: Can't acquire port");
        return;
    case TParallelBus::TAcquire::Acquired:
        acquired_ = true;
        break;
    }
    negotiate();
}

void TParallelPort::setControl(std::uint8_t value) {
    bus_.out(base_ + 2, value);
}

bool TParallelPort::negotiate() {
    std::lock_guard lock(lock_);
    TRaisedPriority priority(bus_.timeCritical());
    errorText_.clear();
    ecp_ = false;
    reversePending_ = false;
    debugLine("LPT: Start negotiation");
    if (!probe())
        return false;
    calibrate();
    if (!readConfiguration())
        return false;
    if (pword_ != 1)
        return fail("LPT: Unsupported PWord size=" + std::to_string(pword_));
    if (!detectFifoSize())
        return fail("LPT: Can't detect FIFO size");
    if (!enterIeee1284())
        return fail("LPT: Can't enter IEEE-1284 mode");
    ecp_ = true;
    if (!setupEcp()) {
        ecp_ = false;
        return fail("LPT: Can't setup ECP mode");
    }
    static const std::uint8_t hello[] = {'#', '#', '#', '\n'};
    if (Write(hello, 4) != 4)
        debugCore().showError("LPT: Unable to write a control byte");
    fastWrite_ = UseFastWriteByte.load();
    drain();
    debugLine("LPT: ECP mode negotiated");
    return true;
}

bool TParallelPort::probe() {
    if (!bus_.enableRegisters(base_))
        return fail("LPT: Direct port access is impossible");
    setEcr(kEcrStandard);
    setControl(0xCC);
    if ((ecr() & 0x03) != kEcrEmpty)
        return fail("LPT: Parallel port not found");
    setEcr(kEcrByte);
    sleepMs(10);
    if (ecr() != (kEcrByte | kEcrEmpty))
        return fail("LPT: Parallel port not found");
    return true;
}

void TParallelPort::calibrate() {
    std::lock_guard wl(waitsLock);
    if (calibrated)
        return;
    calibrated = true;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i)
        (void)ecr();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    // A port faster than the clock's resolution would divide by zero.
    std::uint64_t longWait = 100000ull * 1100 / std::max<std::uint64_t>(1, elapsed);
    longWait = std::min<std::uint64_t>(longWait, 0xFFFFFFFFu);
    if (longWait == 1000000)
        ++longWait;
    waits.longWait = static_cast<std::uint32_t>(longWait);
    waits.shortWait = static_cast<std::uint32_t>(longWait * 0.035 * 2);
    waits.pollWait = static_cast<std::uint32_t>(longWait / 10);
}

bool TParallelPort::readConfiguration() {
    const std::uint8_t a = bus_.in(base_ + 0x400) & 0x70;
    if (a == 0x10)
        pword_ = 1;
    else if (a == 0x00)
        pword_ = 2;
    else if (a == 0x20)
        pword_ = 4;
    else
        return fail("LPT: Can't get port information");
    // Compression support: the bit sticks only where the chip has it; nothing uses it.
    const std::uint8_t b = bus_.in(base_ + 0x401);
    bus_.out(base_ + 0x401, b | 0x80);
    (void)bus_.in(base_ + 0x401);
    bus_.out(base_ + 0x401, b & 0x7F);
    return true;
}

bool TParallelPort::detectFifoSize() {
    setEcr(kEcrTest);
    int count = 0;
    while (!(ecr() & kEcrFull) && count < kMaxFifo) {
        bus_.out(base_ + 0x400, 0x23);
        ++count;
    }
    const bool full = ecr() & kEcrFull;
    setEcr(kEcrEcp);
    if (!full || count == 0)
        return false;
    fifoSize_ = count;
    return true;
}

bool TParallelPort::enterIeee1284() {
    const std::uint32_t longWait = parallelWaits().longWait;
    setEcr(kEcrByte);
    setControl((control() & 0xF0) | 0x0C);
    bus_.out(base_, 0x10); // extensibility request: ECP mode
    setControl(control() & ~0x08);
    setControl(control() | 0x02);
    if (!waitStatus(longWait, [](std::uint8_t s) { return (s & 0x78) == 0x38; }))
        return false;
    const std::uint8_t saved = control();
    setControl(saved | 0x01);
    sleepMs(2);
    setControl(saved);
    if (!waitStatus(longWait, [](std::uint8_t s) { return (s & 0xF0) == 0xD0; }))
        return false;
    setEcr(kEcrByte);
    setControl(control() & ~0x20);
    setEcr(kEcrEcp);
    return true;
}

bool TParallelPort::setupEcp() {
    setEcr(kEcrByte);
    setControl(control() | 0x02);
    if (!waitStatus(parallelWaits().longWait, [](std::uint8_t s) {
            return (s & (kPeriphAck | kAckReverse)) == (kPeriphAck | kAckReverse);
        }))
        return false;
    setControl(control() & ~0x20);
    setEcr(kEcrEcp);
    return true;
}

void TParallelPort::drain() {
    std::uint8_t scrap[15];
    int total = 0;
    while (total < kDrainLimit) {
        const int n = Read(scrap, sizeof scrap);
        if (n <= 0)
            break;
        total += n;
    }
    if (total > 0)
        debugLine("LPT cleanup: " + std::to_string(total) + " bytes received");
}

void TParallelPort::closeEcp() {
    const std::uint32_t longWait = parallelWaits().longWait;
    toForward();
    setControl(control() & ~0x02);
    setControl(control() | 0x08);
    waitStatus(longWait, [](std::uint8_t s) { return (s & 0xC8) == 0x08; });
    setControl(control() | 0x02);
    waitStatus(longWait, [](std::uint8_t s) { return (s & kPeriphClk) != 0; });
    setControl(control() & ~0x02);
    setEcr(kEcrByte);
    ecp_ = false;
    reversePending_ = false;
    debugLine("LPT: ECP closed");
}

bool TParallelPort::Renegotiate() {
    std::lock_guard lock(lock_);
    if (ecp_)
        closeEcp();
    return negotiate();
}

bool TParallelPort::toForward() {
    TRaisedPriority priority(bus_.timeCritical());
    setControl(control() | 0x04);
    if (!waitStatus(parallelWaits().shortWait, [](std::uint8_t s) { return s >= 0xE0; }))
        return false;
    setEcr(kEcrByte);
    setControl(control() & ~0x20);
    setEcr(kEcrEcp);
    return true;
}

bool TParallelPort::toReverse() {
    TRaisedPriority priority(bus_.timeCritical());
    setEcr(kEcrByte);
    setControl((control() & 0xDC) | 0x20);
    setEcr(kEcrEcp);
    setControl(control() | 0x02);
    setControl(control() & ~0x04);
    reverseTick_ = tickCount();
    reversePending_ = true;
    while (status() & kAckReverse)
        if (ticksSince(reverseTick_) >= 1000)
            return false;
    return true;
}

bool TParallelPort::reverseReady() {
    if (!reversePending_)
        return true;
    const std::uint32_t start = tickCount();
    while (status() & kPeriphClk)
        if (ticksSince(start) >= 3 && ticksSince(reverseTick_) >= 35)
            return false;
    setControl(control() & ~0x02);
    reversePending_ = false;
    return true;
}

int TParallelPort::Write(const std::uint8_t* bytes, int count) {
    std::lock_guard lock(lock_);
    if (!ecp_ || count <= 0)
        return 0;
    reverseReady();
    if (!toForward())
        return 0;
    int written;
    if (count == 1 && fastWrite_) {
        written = writeFifo(bytes, 1);
    } else {
        sleepMs(1);
        written = writeFifo(bytes, count);
    }
    toReverse();
    return written;
}

// Byte by byte while the FIFO takes them; what is still in it at the end did not leave.
int TParallelPort::writeFifo(const std::uint8_t* bytes, int count) {
    const std::uint32_t pollWait = parallelWaits().pollWait;
    int written = 0;
    for (; written < count; ++written) {
        std::uint32_t pass = 0;
        while ((ecr() & kEcrFull) && pass < pollWait)
            ++pass;
        if (pass == pollWait)
            break;
        bus_.out(base_ + 0x400, bytes[written]);
    }
    std::uint32_t pass = 0;
    while (!(ecr() & kEcrEmpty) && pass < pollWait)
        ++pass;
    if (pass == pollWait)
        written = std::max(0, written - fifoSize_);
    return written;
}

int TParallelPort::Read(std::uint8_t* buffer, int count) {
    std::lock_guard lock(lock_);
    if (!ecp_)
        return 0;
    reverseReady();
    return readLocked(buffer, count);
}

int TParallelPort::readLocked(std::uint8_t* buffer, int count) {
    int got = 0;
    while (got < count) {
        const std::uint8_t e = ecr();
        if (e & kEcrEmpty)
            break;
        const int burst = (e & kEcrFull) && count - got >= fifoSize_ ? fifoSize_ : 1;
        for (int i = 0; i < burst; ++i)
            buffer[got++] = bus_.in(base_ + 0x400);
    }
    return got;
}

int TParallelPort::Poll() {
    std::lock_guard lock(lock_);
    if (!ecp_)
        return 1;
    if (!reverseReady())
        return 2;
    return (ecr() & kEcrEmpty) ? 1 : 0;
}

int TParallelPort::ReadTimed(std::uint8_t* buffer, int count, int timeoutMs) {
    const std::uint32_t start = tickCount();
    int got = 0;
    while (got < count && !abort_.load()) {
        const int n = Read(buffer + got, count - got);
        got += n;
        if (n == 0) {
            if (ticksSince(start) >= static_cast<std::uint32_t>(std::max(0, timeoutMs)))
                break;
            sleepMs(1);
        }
    }
    return got;
}

} // namespace telvor
