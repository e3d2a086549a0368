// Whatever arrives where a block is expected: the first bytes choose the block length, the
// expected number and the running CRC, the rest is the block. Examining it must stay inside the
// block and never promise more bytes than the block holds.
#include "files/Block.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5)
        return 0;
    static const int kLengths[] = {1, 16, 512, 1024, 2048};
    const int length = kLengths[data[0] % 5];
    const auto expected = static_cast<std::uint16_t>(data[1] | data[2] << 8);
    const auto crc = static_cast<std::uint16_t>(data[3] | data[4] << 8);
    // Exactly one block on the wire, short input padded with zeros as the zeroed buffer is.
    std::vector<std::uint8_t> wire(static_cast<std::size_t>(length) + 6, 0);
    for (std::size_t i = 5; i < size && i - 5 < wire.size(); ++i)
        wire[i - 5] = data[i];
    telvor::TBlockInfo info = telvor::ExamineBlock(wire.data(), length, expected, crc);
    if (info.count < 0 || info.count > length)
        std::abort();
    if (info.errorText.size() > static_cast<std::size_t>(length))
        std::abort();
    if (info.verdict == telvor::TBlockVerdict::Data && info.count != length)
        std::abort();
    return 0;
}
