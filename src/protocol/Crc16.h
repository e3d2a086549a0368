#pragma once
// CRC-16 with generator 1021 hex, MSB first, no reflection, no final XOR (CRC-16/XMODEM when the
// initial value is 0). Used by the CRC-checked message kind and the file block transfer.
#include <cstddef>
#include <cstdint>

namespace telvor {

// Continue a CRC over `count` bytes: passing a previous result as `initial` extends it.
std::uint16_t crc16(std::uint16_t initial, const void* data, std::size_t count) noexcept;

} // namespace telvor
