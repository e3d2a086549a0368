#pragma once
// The device layer under the USB link: enumerate, open, descriptors, configuration, bulk reads
// and writes. The libusb backend is the real one; tests install a double that plays the
// receiver, so the link's own logic is the same on both.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

// Results of the device layer; 0 is success.
enum TUsbStatus : std::uint32_t {
    kUsbOk = 0,
    kUsbCancelled,
    kUsbTimeout,
    kUsbStall,
    kUsbNoDevice,
    kUsbOverflow,
    kUsbIoError,
    kUsbAccessDenied,
    kUsbBusy,
    kUsbNotFound,
    kUsbNoMemory,
    kUsbNotSupported,
    kUsbOtherError,
};

// The text of a status, as the debug window shows it after "Error code 0x...: ".
const char* UsbStatusText(std::uint32_t status);

struct TUsbDeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Where the device sits ("1-3.2"); the backend finds it again by this while it stays.
    std::string location;
    // Its first interface is a CDC-ACM serial port: the kernel makes it /dev/ttyACM*, and the
    // serial link serves it.
    bool serialPort = false;
};

struct TUsbRead {
    std::uint32_t status = kUsbOk;
    int length = 0;
};

// One opened device. Requests on one device are serialised by the backend.
class CUsbIo {
public:
    static constexpr int kMaxReads = 8;

    virtual ~CUsbIo() = default;
    // The first configuration, interface 0 claimed with alternate setting 0; a kernel driver
    // that holds the interface is detached (and given it back when the device is closed).
    virtual std::uint32_t SetConfiguration() = 0;
    // The configuration descriptor as the device sends it, at most `size` bytes.
    virtual std::uint32_t GetConfigDescriptor(std::vector<std::uint8_t>& out, int size) = 0;
    // Starts read `slot` (0 .. kMaxReads-1) of up to `size` bytes from the IN `endpoint`.
    virtual std::uint32_t SubmitRead(int slot, std::uint8_t endpoint, std::uint8_t* buffer,
                                     int size) = 0;
    // Waits until read `slot` completes; an aborted read completes with kUsbCancelled.
    virtual TUsbRead WaitRead(int slot) = 0;
    // Ends every submitted read. Any thread.
    virtual void AbortPipe() = 0;
    // A bulk write to the OUT `endpoint` that gives up after `timeoutMs`; `written` tells how
    // much went out.
    virtual std::uint32_t WriteSync(std::uint8_t endpoint, const std::uint8_t* bytes, int count,
                                    int timeoutMs, int& written) = 0;
};

class TUsbBackend {
public:
    virtual ~TUsbBackend() = default;
    // Every attached USB device; a status other than kUsbOk when no list could be built.
    virtual std::uint32_t Enumerate(std::vector<TUsbDeviceInfo>& devices) = 0;
    // The serial-number string in UTF-8; empty when the device has none.
    virtual std::string SerialNumber(const TUsbDeviceInfo& device) = 0;
    virtual std::unique_ptr<CUsbIo> Open(const TUsbDeviceInfo& device, std::uint32_t& status) = 0;
};

// The installed backend: libusb unless a test installed its own (null puts libusb back).
TUsbBackend& usbBackend();
void setUsbBackend(TUsbBackend* backend);

// Vendor ids as the settings hold them: hexadecimal numbers ("0x" optional) separated by
// commas or blanks; words that are no 16-bit hexadecimal number are skipped.
std::vector<std::uint16_t> ParseVendorIds(std::string_view text);

// A receiver: one of the maker's vendor ids, a product id below 1024, and not a CDC-ACM port.
bool IsUsbReceiver(const TUsbDeviceInfo& device, const std::vector<std::uint16_t>& vendors);

struct TUsbEndpoints {
    std::uint8_t in = 0;
    std::uint8_t out = 0;
};

// The bulk endpoint pair of interface 0 (alternate setting 0) in a configuration descriptor;
// none when the descriptor is short, malformed, or the pair is not one IN and one OUT.
std::optional<TUsbEndpoints> ParseEndpoints(const std::uint8_t* data, std::size_t size);

} // namespace telvor
