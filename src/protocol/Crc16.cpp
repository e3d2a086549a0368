#include "protocol/Crc16.h"

#include <array>

namespace telvor {
namespace {

constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned value = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 0x8000) ? ((value << 1) ^ 0x1021) : (value << 1);
        table[i] = static_cast<std::uint16_t>(value & 0xFFFF);
    }
    return table;
}

constexpr auto kTable = makeTable();

} // namespace

std::uint16_t crc16(std::uint16_t initial, const void* data, std::size_t count) noexcept {
    auto bytes = static_cast<const std::uint8_t*>(data);
    unsigned value = initial;
    for (std::size_t i = 0; i < count; ++i)
        value = kTable[((value >> 8) ^ bytes[i]) & 0xFF] ^ ((value << 8) & 0xFFFF);
    return static_cast<std::uint16_t>(value);
}

} // namespace telvor
