// A configuration descriptor from the device (and, read as text, a vendor id setting). Nothing
// may crash or read past the end; a pair found is one IN and one OUT endpoint.
#include "links/Usbio.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The link reads at most 256 bytes of it.
    if (size > 512)
        return 0;
    // An exact-size copy, so that a read past the end is caught.
    std::vector<std::uint8_t> copy(data, data + size);
    if (auto ep = telvor::ParseEndpoints(copy.data(), copy.size())) {
        if (!(ep->in & 0x80) || (ep->out & 0x80))
            std::abort();
    }
    const auto ids =
        telvor::ParseVendorIds(std::string_view(reinterpret_cast<const char*>(data), size));
    if (ids.size() > size)
        std::abort();
    return 0;
}
