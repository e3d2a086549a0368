#include "links/Usblibusb.h"

#include <libusb.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sys/stat.h>

namespace telvor {
namespace {

constexpr int kMaxDevices = 127;
constexpr std::uint8_t kClassComm = 0x02;

std::uint32_t fromLibusb(int error) {
    switch (error) {
    case LIBUSB_SUCCESS:
        return kUsbOk;
    case LIBUSB_ERROR_TIMEOUT:
        return kUsbTimeout;
    case LIBUSB_ERROR_PIPE:
        return kUsbStall;
    case LIBUSB_ERROR_NO_DEVICE:
        return kUsbNoDevice;
    case LIBUSB_ERROR_OVERFLOW:
        return kUsbOverflow;
    case LIBUSB_ERROR_IO:
        return kUsbIoError;
    case LIBUSB_ERROR_ACCESS:
        return kUsbAccessDenied;
    case LIBUSB_ERROR_BUSY:
        return kUsbBusy;
    case LIBUSB_ERROR_NOT_FOUND:
        return kUsbNotFound;
    case LIBUSB_ERROR_NO_MEM:
        return kUsbNoMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return kUsbNotSupported;
    case LIBUSB_ERROR_INTERRUPTED:
        return kUsbCancelled;
    default:
        return kUsbOtherError;
    }
}

std::uint32_t fromTransfer(libusb_transfer_status status) {
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return kUsbOk;
    case LIBUSB_TRANSFER_CANCELLED:
        return kUsbCancelled;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return kUsbTimeout;
    case LIBUSB_TRANSFER_STALL:
        return kUsbStall;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return kUsbNoDevice;
    case LIBUSB_TRANSFER_OVERFLOW:
        return kUsbOverflow;
    default:
        return kUsbIoError;
    }
}

// "1-3.2": bus, then the port path, as the kernel names the device in sysfs.
std::string locationOf(libusb_device* dev) {
    std::array<std::uint8_t, 8> ports{};
    const int n = libusb_get_port_numbers(dev, ports.data(), int(ports.size()));
    std::string text = std::to_string(libusb_get_bus_number(dev));
    if (n <= 0)
        return text + "-0." + std::to_string(libusb_get_device_address(dev));
    for (int i = 0; i < n; ++i)
        text += (i == 0 ? "-" : ".") + std::to_string(ports[std::size_t(i)]);
    return text;
}

bool firstInterfaceIsSerial(libusb_device* dev) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(dev, &config) != 0 &&
        libusb_get_config_descriptor(dev, 0, &config) != 0)
        return false;
    bool serial = config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0 &&
                  config->interface[0].altsetting[0].bInterfaceClass == kClassComm;
    libusb_free_config_descriptor(config);
    return serial;
}

// UTF-16LE string descriptor body to UTF-8.
std::string utf8FromDescriptor(const unsigned char* data, int length) {
    std::string out;
    for (int i = 2; i + 1 < length; i += 2) {
        unsigned c = unsigned(data[i]) | unsigned(data[i + 1]) << 8;
        if (c >= 0xD800 && c < 0xE000)
            c = '?'; // surrogates: a serial number has no use for them
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class TLibusbIo;

struct TSlot {
    libusb_transfer* transfer = nullptr;
    std::atomic<int> completed{1};
    bool submitted = false;
};

class TLibusbIo : public CUsbIo {
public:
    TLibusbIo(libusb_context* ctx, libusb_device_handle* handle) : ctx_(ctx), handle_(handle) {}
    ~TLibusbIo() override {
        AbortPipe();
        for (auto& s : slots_) {
            while (s.submitted && !s.completed.load())
                handleEvents(s);
            if (s.transfer)
                libusb_free_transfer(s.transfer);
        }
        if (claimed_)
            libusb_release_interface(handle_, 0);
        libusb_close(handle_);
    }

    std::uint32_t SetConfiguration() override {
        std::lock_guard lock(lock_);
        libusb_set_auto_detach_kernel_driver(handle_, 1);
        libusb_device* dev = libusb_get_device(handle_);
        libusb_config_descriptor* config = nullptr;
        int r = libusb_get_config_descriptor(dev, 0, &config);
        if (r != 0)
            return fromLibusb(r);
        const int wanted = config->bConfigurationValue;
        const bool alternates =
            config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 1;
        libusb_free_config_descriptor(config);
        int current = 0;
        if (libusb_get_configuration(handle_, &current) != 0 || current != wanted) {
            r = libusb_set_configuration(handle_, wanted);
            if (r != 0)
                return fromLibusb(r);
        }
        r = libusb_claim_interface(handle_, 0);
        if (r != 0)
            return fromLibusb(r);
        claimed_ = true;
        if (alternates && (r = libusb_set_interface_alt_setting(handle_, 0, 0)) != 0)
            return fromLibusb(r);
        return kUsbOk;
    }

    std::uint32_t GetConfigDescriptor(std::vector<std::uint8_t>& out, int size) override {
        std::lock_guard lock(lock_);
        out.assign(std::size_t(size), 0);
        const int r = libusb_get_descriptor(handle_, LIBUSB_DT_CONFIG, 0, out.data(), size);
        if (r < 0) {
            out.clear();
            return fromLibusb(r);
        }
        out.resize(std::size_t(r));
        return kUsbOk;
    }

    std::uint32_t SubmitRead(int slot, std::uint8_t endpoint, std::uint8_t* buffer,
                             int size) override {
        if (slot < 0 || slot >= kMaxReads)
            return kUsbOtherError;
        TSlot& s = slots_[std::size_t(slot)];
        if (!s.transfer && !(s.transfer = libusb_alloc_transfer(0)))
            return kUsbNoMemory;
        libusb_fill_bulk_transfer(s.transfer, handle_, endpoint, buffer, size, &TLibusbIo::done, &s,
                                  0);
        s.completed.store(0);
        const int r = libusb_submit_transfer(s.transfer);
        s.submitted = r == 0;
        if (r != 0)
            s.completed.store(1);
        return fromLibusb(r);
    }

    TUsbRead WaitRead(int slot) override {
        if (slot < 0 || slot >= kMaxReads)
            return {kUsbOtherError, 0};
        TSlot& s = slots_[std::size_t(slot)];
        if (!s.submitted)
            return {kUsbCancelled, 0};
        while (!s.completed.load())
            handleEvents(s);
        s.submitted = false;
        return {fromTransfer(s.transfer->status), s.transfer->actual_length};
    }

    void AbortPipe() override {
        for (auto& s : slots_)
            if (s.submitted && !s.completed.load())
                libusb_cancel_transfer(s.transfer);
    }

    std::uint32_t WriteSync(std::uint8_t endpoint, const std::uint8_t* bytes, int count,
                            int timeoutMs, int& written) override {
        std::lock_guard lock(lock_);
        written = 0;
        const int r = libusb_bulk_transfer(handle_, endpoint, const_cast<std::uint8_t*>(bytes),
                                           count, &written, unsigned(timeoutMs));
        return fromLibusb(r);
    }

private:
    static void LIBUSB_CALL done(libusb_transfer* transfer) {
        static_cast<TSlot*>(transfer->user_data)->completed.store(1);
    }
    void handleEvents(TSlot& s) {
        timeval tv{0, 200000};
        int completed = s.completed.load();
        libusb_handle_events_timeout_completed(ctx_, &tv, &completed);
    }

    libusb_context* ctx_;
    libusb_device_handle* handle_;
    std::mutex lock_;
    bool claimed_ = false;
    std::array<TSlot, kMaxReads> slots_;
};

class TLibusbBackend : public TUsbBackend {
public:
    TLibusbBackend() {
        if (libusb_init(&ctx_) != 0)
            ctx_ = nullptr;
    }
    // Kept for the program's life: an exit with devices open must not tear libusb down first.

    std::uint32_t Enumerate(std::vector<TUsbDeviceInfo>& devices) override {
        devices.clear();
        if (!ctx_)
            return kUsbNotSupported;
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(ctx_, &list);
        if (n < 0)
            return fromLibusb(int(n));
        for (ssize_t i = 0; i < n && i < kMaxDevices; ++i) {
            libusb_device_descriptor desc{};
            if (libusb_get_device_descriptor(list[i], &desc) != 0)
                continue;
            TUsbDeviceInfo info;
            info.vendorId = desc.idVendor;
            info.productId = desc.idProduct;
            info.location = locationOf(list[i]);
            info.serialPort = firstInterfaceIsSerial(list[i]);
            devices.push_back(std::move(info));
        }
        libusb_free_device_list(list, 1);
        return kUsbOk;
    }

    std::string SerialNumber(const TUsbDeviceInfo& device) override {
        // The kernel keeps the string readable for everybody: no need to open the device,
        // which a user without the udev rule may not do.
        const std::string dir = "/sys/bus/usb/devices/" + device.location;
        struct stat st {};
        if (::stat(dir.c_str(), &st) == 0) {
            std::ifstream in(dir + "/serial");
            std::string line;
            if (in && std::getline(in, line))
                return line;
            return {};
        }
        std::uint32_t status = kUsbOk;
        auto io = openHandle(device, status);
        if (!io)
            return {};
        std::string serial;
        libusb_device_descriptor desc{};
        unsigned char buffer[256];
        if (libusb_get_device_descriptor(libusb_get_device(io), &desc) == 0 &&
            desc.iSerialNumber != 0) {
            unsigned char langs[4] = {};
            const int l = libusb_get_string_descriptor(io, 0, 0, langs, sizeof langs);
            const std::uint16_t lang = l >= 4 ? std::uint16_t(langs[2] | langs[3] << 8) : 0;
            const int r =
                libusb_get_string_descriptor(io, desc.iSerialNumber, lang, buffer, sizeof buffer);
            if (r >= 3 && buffer[1] == LIBUSB_DT_STRING)
                serial = utf8FromDescriptor(buffer, std::min<int>(r, buffer[0]));
        }
        libusb_close(io);
        return serial;
    }

    std::unique_ptr<CUsbIo> Open(const TUsbDeviceInfo& device, std::uint32_t& status) override {
        libusb_device_handle* handle = openHandle(device, status);
        if (!handle)
            return nullptr;
        return std::make_unique<TLibusbIo>(ctx_, handle);
    }

private:
    libusb_device_handle* openHandle(const TUsbDeviceInfo& device, std::uint32_t& status) {
        status = kUsbNotFound;
        if (!ctx_) {
            status = kUsbNotSupported;
            return nullptr;
        }
        libusb_device** list = nullptr;
        const ssize_t n = libusb_get_device_list(ctx_, &list);
        if (n < 0) {
            status = fromLibusb(int(n));
            return nullptr;
        }
        libusb_device_handle* handle = nullptr;
        for (ssize_t i = 0; i < n; ++i) {
            if (locationOf(list[i]) != device.location)
                continue;
            const int r = libusb_open(list[i], &handle);
            status = fromLibusb(r);
            if (r != 0)
                handle = nullptr;
            break;
        }
        libusb_free_device_list(list, 1);
        return handle;
    }

    libusb_context* ctx_ = nullptr;
};

} // namespace

TUsbBackend& libusbBackend() {
    static TLibusbBackend* backend = new TLibusbBackend;
    return *backend;
}

} // namespace telvor
