// What a received block is taken for: numbers compared modulo 65536, a final count the block
// cannot hold, an error block's text, and the CRC continued from the running value.
#include "files/Block.h"
#include "protocol/Crc16.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvor;

namespace {

std::vector<std::uint8_t> block(std::uint8_t kind, std::uint16_t number, int length,
                                std::uint16_t running, const std::string& data = "") {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(length) + 6, 0);
    b[0] = kind;
    b[1] = number & 0xFF;
    b[2] = number >> 8;
    std::copy(data.begin(), data.end(), b.begin() + 3);
    std::uint16_t crc = crc16(running, b.data(), static_cast<std::size_t>(length) + 3);
    b[3 + length] = crc & 0xFF;
    b[4 + length] = crc >> 8;
    return b;
}

} // namespace

TEST(Block, NumbersWrapAroundAt65536) {
    auto wrapped = block(kDataBlockKind, 0, 16, 0x1234);
    TBlockInfo next = ExamineBlock(wrapped.data(), 16, 0, 0x1234);
    EXPECT_EQ(next.verdict, TBlockVerdict::Data);
    EXPECT_TRUE(next.crcGood);
    // Block 65535 arriving when block 0 (65536) is expected was already taken.
    auto old = block(kDataBlockKind, 0xFFFF, 16, 0);
    EXPECT_EQ(ExamineBlock(old.data(), 16, 0, 0).verdict, TBlockVerdict::Repeated);
    auto ahead = block(kDataBlockKind, 2, 16, 0);
    EXPECT_EQ(ExamineBlock(ahead.data(), 16, 0xFFFF, 0).verdict, TBlockVerdict::Jumped);
}

TEST(Block, FinalCountsErrorsAndCrc) {
    auto final = block(kFinalBlockKind, 5, 16, 0x00AA, "hello");
    TBlockInfo f = ExamineBlock(final.data(), 16, 7, 0x00AA);
    EXPECT_EQ(f.verdict, TBlockVerdict::Final);
    EXPECT_EQ(f.count, 5);
    EXPECT_TRUE(f.crcGood);
    // The same block checked from another running value is damaged, and says which values.
    TBlockInfo wrong = ExamineBlock(final.data(), 16, 7, 0);
    EXPECT_FALSE(wrong.crcGood);
    EXPECT_EQ(wrong.receivedCrc, f.computedCrc);
    auto tooLong = block(kFinalBlockKind, 17, 16, 0);
    EXPECT_EQ(ExamineBlock(tooLong.data(), 16, 0, 0).verdict, TBlockVerdict::Odd);
    auto error = block(kFinalBlockKind, 0xFFFF, 16, 0, std::string(16, 'E'));
    TBlockInfo e = ExamineBlock(error.data(), 16, 0, 0);
    EXPECT_EQ(e.verdict, TBlockVerdict::Error);
    EXPECT_EQ(e.errorText, std::string(16, 'E')); // no terminating zero: cut at the block
    auto odd = block(0x07, 0, 16, 0);
    EXPECT_EQ(ExamineBlock(odd.data(), 16, 0, 0).verdict, TBlockVerdict::Odd);
}
