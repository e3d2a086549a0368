#include "protocol/Crc16.h"

#include <gtest/gtest.h>

#include <cstring>

using telvor::crc16;

TEST(Crc16, PublishedCheckValueAndChaining) {
    const char* digits = "123456789";
    EXPECT_EQ(crc16(0, digits, 9), 0x31C3);
    // A second call started with the first's result continues over the concatenation.
    for (std::size_t cut = 0; cut <= 9; ++cut)
        EXPECT_EQ(crc16(crc16(0, digits, cut), digits + cut, 9 - cut), 0x31C3) << cut;
    EXPECT_EQ(crc16(0xBEEF, digits, 0), 0xBEEF);
}
