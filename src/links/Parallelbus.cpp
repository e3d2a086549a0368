#include "links/Parallelbus.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/ppdev.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TELVOR_PORT_IO 1
#endif

namespace fs = std::filesystem;

namespace telvor {
namespace {

constexpr std::uint16_t kStandardBases[] = {0x378, 0x278, 0x3BC, 0x268, 0x27C, 0x26C};
constexpr int kCapSysRawio = 17;

// Root, or CAP_SYS_RAWIO among the effective capabilities.
bool mayDoPortIo() {
    if (::geteuid() == 0)
        return true;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("CapEff:", 0) == 0)
            return (std::strtoull(line.c_str() + 7, nullptr, 16) >> kCapSysRawio) & 1;
    return false;
}

class TKernelParallelBus final : public TParallelBus {
public:
    std::vector<TParallelPortInfo> ports() override {
        return kernelParallelPorts("/proc/sys/dev/parport");
    }

    // Only where the kernel lists a port: with none, registers are never touched.
    bool rawAccess() override {
#ifdef TELVOR_PORT_IO
        return !ports().empty() && mayDoPortIo();
#else
        return false;
#endif
    }

    TAcquire acquire(const TParallelPortInfo& port) override {
        release();
        if (port.device.empty())
            return TAcquire::NotLoaded;
        fd_ = ::open(port.device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0)
            return TAcquire::NotLoaded;
#if defined(__linux__)
        if (::ioctl(fd_, PPCLAIM) == 0) {
            claimed_ = true;
            return TAcquire::Acquired;
        }
#endif
        ::close(fd_);
        fd_ = -1;
        return TAcquire::Refused;
    }

    void release() override {
#if defined(__linux__)
        if (claimed_)
            ::ioctl(fd_, PPRELEASE);
#endif
        claimed_ = false;
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool enableRegisters(std::uint16_t base) override {
#ifdef TELVOR_PORT_IO
        bool listed = false;
        for (const auto& p : ports())
            listed = listed || p.base == base;
        return listed && mayDoPortIo() && ::ioperm(base, 3, 1) == 0 &&
               ::ioperm(base + 0x400, 3, 1) == 0;
#else
        (void)base;
        return false;
#endif
    }

    std::uint8_t in(std::uint16_t address) override {
#ifdef TELVOR_PORT_IO
        return ::inb(address);
#else
        (void)address;
        return 0xFF;
#endif
    }

    void out(std::uint16_t address, std::uint8_t value) override {
#ifdef TELVOR_PORT_IO
        ::outb(value, address);
#else
        (void)address;
        (void)value;
#endif
    }

    bool timeCritical() const override {
        return true;
    }

private:
    int fd_ = -1;
    bool claimed_ = false;
};

std::atomic<TParallelBus*>& installed() {
    static std::atomic<TParallelBus*> bus{nullptr};
    return bus;
}

} // namespace

bool isStandardParallelBase(std::uint16_t base) {
    return std::find(std::begin(kStandardBases), std::end(kStandardBases), base) !=
           std::end(kStandardBases);
}

std::vector<TParallelPortInfo> kernelParallelPorts(const std::string& procRoot) {
    std::vector<std::pair<int, TParallelPortInfo>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(procRoot, ec)) {
        const std::string dir = entry.path().filename().string();
        if (dir.rfind("parport", 0) != 0 || dir.size() == 7 || dir.size() > 10 ||
            dir.find_first_not_of("0123456789", 7) != std::string::npos)
            continue;
        const int number = std::stoi(dir.substr(7));
        std::ifstream in(entry.path() / "base-addr");
        long base = 0;
        if (!(in >> base) || base <= 0 || base > 0xFFFF ||
            !isStandardParallelBase(static_cast<std::uint16_t>(base)))
            continue;
        found.push_back({number,
                         {"LPT" + std::to_string(number + 1), static_cast<std::uint16_t>(base),
                          "/dev/" + dir}});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TParallelPortInfo> ports;
    for (auto& f : found)
        ports.push_back(std::move(f.second));
    return ports;
}

TParallelBus& parallelBus() {
    static TKernelParallelBus kernel;
    TParallelBus* bus = installed().load();
    return bus ? *bus : kernel;
}

TParallelBus* installParallelBus(TParallelBus* bus) {
    return installed().exchange(bus);
}

} // namespace telvor
