#include "links/Usbdouble.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace telvor::testing {
namespace {

bool signalled(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

void setFd(int fd) {
    std::uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

class TSimIo : public CUsbIo {
public:
    explicit TSimIo(TUsbDouble::TDevice& d) : d_(d), abort_(::eventfd(0, EFD_CLOEXEC)) {}
    ~TSimIo() override { ::close(abort_); }

    std::uint32_t SetConfiguration() override { return gone() ? kUsbNoDevice : d_.configStatus; }
    std::uint32_t GetConfigDescriptor(std::vector<std::uint8_t>& out, int size) override {
        if (gone())
            return kUsbNoDevice;
        out.assign(d_.config.begin(),
                   d_.config.begin() + std::min<std::size_t>(d_.config.size(), std::size_t(size)));
        return kUsbOk;
    }
    std::uint32_t SubmitRead(int slot, std::uint8_t endpoint, std::uint8_t* buffer,
                             int size) override {
        if (gone())
            return kUsbNoDevice;
        if (endpoint != 0x81 || slot < 0 || slot >= kMaxReads)
            return kUsbNotFound;
        slots_[slot] = {buffer, size, true};
        return kUsbOk;
    }
    TUsbRead WaitRead(int slot) override {
        TRead& r = slots_[slot];
        if (!r.submitted)
            return {kUsbCancelled, 0};
        r.submitted = false;
        for (;;) {
            if (signalled(abort_))
                return {kUsbCancelled, 0};
            if (gone())
                return {kUsbNoDevice, 0};
            if (d_.failingReads.load() > 0) {
                --d_.failingReads;
                return {d_.readFailure.load(), 0};
            }
            pollfd fds[3] = {{d_.fd, POLLIN, 0}, {abort_, POLLIN, 0}, {d_.gone, POLLIN, 0}};
            if (::poll(fds, 3, 50) <= 0 || !(fds[0].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = ::recv(d_.fd, r.buffer, std::size_t(r.size), MSG_DONTWAIT);
            if (n > 0)
                return {kUsbOk, int(n)};
            if (n == 0)
                return {kUsbNoDevice, 0};
        }
    }
    void AbortPipe() override { setFd(abort_); }
    std::uint32_t WriteSync(std::uint8_t endpoint, const std::uint8_t* bytes, int count,
                            int timeoutMs, int& written) override {
        std::lock_guard lock(writeLock_);
        written = 0;
        if (gone())
            return kUsbNoDevice;
        if (endpoint != 0x02)
            return kUsbNotFound;
        while (written < count) {
            pollfd p{d_.fd, POLLOUT, 0};
            if (::poll(&p, 1, timeoutMs) <= 0)
                return kUsbTimeout;
            const ssize_t n =
                ::send(d_.fd, bytes + written, std::size_t(count - written), MSG_NOSIGNAL);
            if (n <= 0)
                return kUsbIoError;
            written += int(n);
        }
        return kUsbOk;
    }

private:
    struct TRead {
        std::uint8_t* buffer = nullptr;
        int size = 0;
        bool submitted = false;
    };
    bool gone() const { return !d_.present.load(); }

    TUsbDouble::TDevice& d_;
    int abort_;
    TRead slots_[kMaxReads];
    std::mutex writeLock_;
};

} // namespace

TUsbDouble::TDevice::~TDevice() {
    if (sim)
        sim->stop();
    if (fd >= 0)
        ::close(fd);
    if (gone >= 0)
        ::close(gone);
}

TUsbDouble::TUsbDouble() {
    setUsbBackend(this);
}

TUsbDouble::~TUsbDouble() {
    setUsbBackend(nullptr);
}

std::vector<std::uint8_t> TUsbDouble::receiverConfig() {
    return {9, 2, 32,   0, 1,    1,    0, 0x80, 50, // configuration
            9, 4, 0,    0, 2,    0xff, 0, 0,    0,  // interface 0, two endpoints
            7, 5, 0x81, 2, 0x40, 0,    0,           // bulk IN
            7, 5, 0x02, 2, 0x40, 0,    0};          // bulk OUT
}

TUsbDouble::TDevice& TUsbDouble::addReceiver(const std::string& serial,
                                             telvorsim::TSimOptions options, std::uint16_t product,
                                             std::uint16_t vendor) {
    TDevice& added = addDevice(vendor, product, serial);
    options.serialPort = "/dev/usb/a";
    added.sim = std::make_unique<telvorsim::TSimReceiver>(options);
    added.fd = added.sim->startSocketpair();
    return added;
}

TUsbDouble::TDevice& TUsbDouble::addDevice(std::uint16_t vendor, std::uint16_t product,
                                           const std::string& serial) {
    std::lock_guard lock(lock_);
    auto d = std::make_unique<TDevice>();
    d->info.vendorId = vendor;
    d->info.productId = product;
    d->info.location = "1-" + std::to_string(devices_.size() + 1);
    d->serial = serial;
    d->gone = ::eventfd(0, EFD_CLOEXEC);
    d->config = receiverConfig();
    devices_.push_back(std::move(d));
    return *devices_.back();
}

void TUsbDouble::unplug(TDevice& device) {
    device.present.store(false);
    setFd(device.gone);
    if (device.sim)
        device.sim->stop();
}

TUsbDouble::TDevice* TUsbDouble::find(const TUsbDeviceInfo& info) {
    std::lock_guard lock(lock_);
    for (auto& d : devices_)
        if (d->info.location == info.location && d->present.load())
            return d.get();
    return nullptr;
}

std::uint32_t TUsbDouble::Enumerate(std::vector<TUsbDeviceInfo>& devices) {
    devices.clear();
    if (failEnumeration_.load())
        return kUsbOtherError;
    std::lock_guard lock(lock_);
    for (auto& d : devices_)
        if (d->present.load())
            devices.push_back(d->info);
    return kUsbOk;
}

std::string TUsbDouble::SerialNumber(const TUsbDeviceInfo& device) {
    TDevice* d = find(device);
    return d ? d->serial : std::string();
}

std::unique_ptr<CUsbIo> TUsbDouble::Open(const TUsbDeviceInfo& device, std::uint32_t& status) {
    TDevice* d = find(device);
    if (!d) {
        status = kUsbNotFound;
        return nullptr;
    }
    ++d->opens;
    status = d->openStatus;
    if (status != kUsbOk)
        return nullptr;
    return std::make_unique<TSimIo>(*d);
}

} // namespace telvor::testing
