#include "files/Block.h"

#include "protocol/Crc16.h"

#include <cstring>

namespace telvor {

TBlockInfo ExamineBlock(const std::uint8_t* wire, int length, std::uint16_t expected,
                        std::uint16_t runningCrc) {
    TBlockInfo info;
    if (length <= 0)
        return info;
    const std::uint8_t kind = wire[0];
    const std::uint16_t number = static_cast<std::uint16_t>(wire[1] | wire[2] << 8);
    if (kind == kFinalBlockKind && number == kErrorBlockCount) {
        info.verdict = TBlockVerdict::Error;
        const char* text = reinterpret_cast<const char*>(wire + 3);
        info.errorText.assign(text, strnlen(text, static_cast<std::size_t>(length)));
        return info;
    }
    if (kind == kFinalBlockKind) {
        if (number > length)
            return info; // a count the block cannot hold: damaged or not a block
        info.verdict = TBlockVerdict::Final;
        info.count = number;
    } else if (kind == kDataBlockKind) {
        // Distance modulo 65536: numbers wrap in long transfers.
        const std::uint16_t ahead = static_cast<std::uint16_t>(number - expected);
        if (ahead != 0) {
            info.verdict = ahead < 0x8000 ? TBlockVerdict::Jumped : TBlockVerdict::Repeated;
            return info;
        }
        info.verdict = TBlockVerdict::Data;
        info.count = length;
    } else {
        return info;
    }
    info.computedCrc = crc16(runningCrc, wire, static_cast<std::size_t>(length) + 3);
    info.receivedCrc = static_cast<std::uint16_t>(wire[3 + length] | wire[4 + length] << 8);
    info.crcGood = info.computedCrc == info.receivedCrc;
    return info;
}

} // namespace telvor
