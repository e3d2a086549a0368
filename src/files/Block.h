#pragma once
// One block of the file transfer as it arrived: what kind it is, whether its number is the
// one expected, and whether its CRC continues the transfer's running value. No I/O.
#include <cstdint>
#include <string>

namespace telvor {

constexpr std::uint8_t kBlockAck = 0x06;
constexpr std::uint8_t kBlockNak = 0x15;
constexpr std::uint8_t kBlockCancel = 0x23;
constexpr std::uint8_t kDataBlockKind = 0x02;
constexpr std::uint8_t kFinalBlockKind = 0x04;
constexpr std::uint16_t kErrorBlockCount = 0xFFFF;

enum class TBlockVerdict {
    Data,     // the expected block: `length` bytes
    Final,    // the last block: `count` bytes
    Error,    // the receiver gave up: `errorText`
    Odd,      // not a block (unknown kind, or a final count beyond the block)
    Repeated, // a block already taken
    Jumped,   // a block after the one expected
};

struct TBlockInfo {
    TBlockVerdict verdict = TBlockVerdict::Odd;
    int count = 0;         // valid data bytes (Data, Final)
    std::string errorText; // Error
    std::uint16_t computedCrc = 0, receivedCrc = 0;
    bool crcGood = false; // Data and Final only
};

// `wire` holds `length` + 6 bytes. `expected` is the number the next data block must carry
// (the count of good blocks, modulo 65536); `runningCrc` the value left by the last good block.
TBlockInfo ExamineBlock(const std::uint8_t* wire, int length, std::uint16_t expected,
                        std::uint16_t runningCrc);

} // namespace telvor
