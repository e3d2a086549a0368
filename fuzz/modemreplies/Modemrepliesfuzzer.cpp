// Replies of the radio modem as the RFM96 window reads them: the frame check, then the bytes
// taken as register values, channel words and parameter values. Nothing may crash, and a
// reply that passes must hold exactly the data asked for.
#include "config/Rfm96protocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::uint8_t command = data[0];
    const std::size_t length = data[1] % 8;
    const std::uint8_t* reply = data + 2;
    const std::size_t count = size - 2;
    const auto got = telvor::modemReplyData(reply, count, command, length);
    if (!got)
        return 0;
    if (got->size() != length || count != length + 3 || reply[1] != (command | 0x80))
        std::abort();
    std::uint32_t word = 0;
    for (std::uint8_t b : *got)
        word = word << 8 | b;
    for (int band : {0, 2, 4, 7})
        (void)telvor::channelFrequency(word & 0xFFFFFF, band, band == 2);
    for (const auto& row : telvor::modemRows()) {
        for (std::uint8_t b : *got) {
            bool brk = false;
            const auto index = telvor::modemIndexOf(row, b, &brk);
            if (index &&
                (*index < 0 || *index >= static_cast<int>(telvor::modemRowItems(row).size())))
                std::abort();
            // Back to the same byte: what Apply writes is what was read.
            if (index && telvor::modemValueOf(row, *index, brk) != b)
                std::abort();
        }
    }
    if (length == 2)
        (void)telvor::modemVoltageText(*got);
    if (length >= 1)
        (void)telvor::modemTemperatureText((*got)[0]);
    return 0;
}
