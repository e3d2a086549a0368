#pragma once
// A double of the USB device layer: receivers played by telvor-sim in this process (a socket
// pair behind each one's bulk pipes), other devices that are no receivers, and the things a
// real bus does to a link: refused access, a claimed interface, failing reads, unplugging.
#include "links/Usbio.h"
#include "sim/Receiver.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace telvor::testing {

class TUsbDouble : public TUsbBackend {
public:
    static constexpr std::uint16_t kVendor = 0x1ee7;

    struct TDevice {
        TUsbDeviceInfo info;
        std::string serial;
        std::unique_ptr<telvorsim::TSimReceiver> sim; // null: a device that is no receiver
        int fd = -1;                                  // our end of the receiver's socket pair
        int gone = -1;                                // eventfd, set when unplugged
        std::atomic<bool> present{true};
        std::uint32_t openStatus = kUsbOk;   // what opening it gives
        std::uint32_t configStatus = kUsbOk; // what claiming the interface gives
        std::vector<std::uint8_t> config;    // the configuration descriptor
        // The next `failingReads` reads end with `readFailure` instead of data.
        std::atomic<int> failingReads{0};
        std::atomic<std::uint32_t> readFailure{kUsbIoError};
        std::atomic<int> opens{0};
        ~TDevice();
    };

    // Installs itself as the backend; the destructor puts libusb back.
    TUsbDouble();
    ~TUsbDouble() override;

    // A receiver played by telvor-sim on its port "/dev/usb/a"; `serial` empty: no serial
    // number string.
    TDevice& addReceiver(const std::string& serial, telvorsim::TSimOptions options = {},
                         std::uint16_t product = 0x0010, std::uint16_t vendor = kVendor);
    // A device that is no receiver (another vendor, or a product id of 1024 and above).
    TDevice& addDevice(std::uint16_t vendor, std::uint16_t product, const std::string& serial);
    // Pulled out: reads in progress end with kUsbNoDevice, the list no longer has it.
    void unplug(TDevice& device);
    void failEnumeration(bool fail) { failEnumeration_ = fail; }

    std::uint32_t Enumerate(std::vector<TUsbDeviceInfo>& devices) override;
    std::string SerialNumber(const TUsbDeviceInfo& device) override;
    std::unique_ptr<CUsbIo> Open(const TUsbDeviceInfo& device, std::uint32_t& status) override;

    // The standard descriptor of a receiver: one interface, bulk IN 0x81 and OUT 0x02.
    static std::vector<std::uint8_t> receiverConfig();

private:
    TDevice* find(const TUsbDeviceInfo& info);
    std::mutex lock_;
    std::vector<std::unique_ptr<TDevice>> devices_;
    std::atomic<bool> failEnumeration_{false};
};

} // namespace telvor::testing
