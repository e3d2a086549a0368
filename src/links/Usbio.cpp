#include "links/Usbio.h"

#include "links/Usblibusb.h"

#include <atomic>

namespace telvor {
namespace {

std::atomic<TUsbBackend*> gBackend{nullptr};

constexpr std::uint8_t kDescConfig = 2, kDescInterface = 4, kDescEndpoint = 5;
constexpr std::uint8_t kBulk = 2;
// Configuration, interface and two endpoint descriptors.
constexpr std::size_t kMinConfigSize = 9 + 9 + 7 + 7;

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

const char* UsbStatusText(std::uint32_t status) {
    switch (status) {
    case kUsbOk:
        return "Success";
    case kUsbCancelled:
        return "Request cancelled";
    case kUsbTimeout:
        return "Request timed out";
    case kUsbStall:
        return "Endpoint stalled";
    case kUsbNoDevice:
        return "Device removed";
    case kUsbOverflow:
        return "Device sent more data than requested";
    case kUsbIoError:
        return "Input/output error";
    case kUsbAccessDenied:
        return "Access denied";
    case kUsbBusy:
        return "Device or interface busy";
    case kUsbNotFound:
        return "Device not found";
    case kUsbNoMemory:
        return "Out of memory";
    case kUsbNotSupported:
        return "Request not supported";
    case kUsbOtherError:
        return "USB error";
    }
    return "System error code.";
}

TUsbBackend& usbBackend() {
    if (TUsbBackend* b = gBackend.load())
        return *b;
    return libusbBackend();
}

void setUsbBackend(TUsbBackend* backend) {
    gBackend.store(backend);
}

std::vector<std::uint16_t> ParseVendorIds(std::string_view text) {
    std::vector<std::uint16_t> ids;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (text[i] == ',' || text[i] == ' ' || text[i] == '\t' || text[i] == ';'))
            ++i;
        std::size_t end = i;
        while (end < text.size() && text[end] != ',' && text[end] != ' ' && text[end] != '\t' &&
               text[end] != ';')
            ++end;
        std::string_view word = text.substr(i, end - i);
        i = end;
        if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
            word.remove_prefix(2);
        if (word.empty() || word.size() > 4)
            continue;
        unsigned value = 0;
        bool ok = true;
        for (char c : word) {
            const int d = hexDigit(c);
            if (d < 0) {
                ok = false;
                break;
            }
            value = value * 16 + unsigned(d);
        }
        if (ok)
            ids.push_back(static_cast<std::uint16_t>(value));
    }
    return ids;
}

bool IsUsbReceiver(const TUsbDeviceInfo& device, const std::vector<std::uint16_t>& vendors) {
    if (device.serialPort || device.productId >= 1024)
        return false;
    for (std::uint16_t v : vendors)
        if (v == device.vendorId)
            return true;
    return false;
}

std::optional<TUsbEndpoints> ParseEndpoints(const std::uint8_t* data, std::size_t size) {
    if (!data || size < kMinConfigSize || data[0] < 9 || data[1] != kDescConfig)
        return std::nullopt;
    bool inInterface = false;
    std::uint8_t found[2] = {};
    int count = 0;
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::uint8_t length = data[at];
        const std::uint8_t type = data[at + 1];
        if (length < 2 || at + length > size)
            break;
        if (type == kDescInterface) {
            if (inInterface)
                break; // the next interface: interface 0 had fewer than two endpoints
            inInterface = length >= 9 && data[at + 2] == 0 && data[at + 3] == 0;
        } else if (type == kDescEndpoint && inInterface) {
            if (length < 7 || (data[at + 3] & 0x03) != kBulk)
                return std::nullopt;
            found[count++] = data[at + 2];
            if (count == 2)
                break;
        }
        at += length;
    }
    if (count != 2 || ((found[0] ^ found[1]) & 0x80) == 0)
        return std::nullopt;
    TUsbEndpoints ep;
    ep.in = (found[0] & 0x80) ? found[0] : found[1];
    ep.out = (found[0] & 0x80) ? found[1] : found[0];
    return ep;
}

} // namespace telvor
