#include "protocol/Messageformat.h"
#include "protocol/Crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

using namespace telvor;

namespace {
const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}
} // namespace

TEST(Messageformat, RotatingChecksumCheckValue) {
    EXPECT_EQ(rotatingChecksum("abc", 3), 0xF3);
    EXPECT_EQ(rotatingChecksum("", 0), 0);
}

// The word-at-a-time checksum against the byte chain, for every length up to a few words and
// every start offset (the lanes follow the length, not the address).
TEST(Messageformat, RotatingChecksumMatchesTheByteChain) {
    std::mt19937 rng(5);
    std::vector<std::uint8_t> data(300);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(rng());
    auto chain = [](const std::uint8_t* p, std::size_t n) {
        std::uint8_t c = 0;
        for (std::size_t i = 0; i < n; ++i)
            c = static_cast<std::uint8_t>(((c << 2) | (c >> 6)) ^ p[i]);
        return static_cast<std::uint8_t>((c << 2) | (c >> 6));
    };
    for (std::size_t offset = 0; offset < 8; ++offset)
        for (std::size_t n = 0; n + offset <= data.size(); ++n)
            ASSERT_EQ(rotatingChecksum(data.data() + offset, n), chain(data.data() + offset, n))
                << "offset " << offset << " length " << n;
}

TEST(Messageformat, CommandLineChecksumSuffixRule) {
    EXPECT_EQ(formatCommandLine("%%print,/par/rcv/model"), "%%print,/par/rcv/model@9F\r\n");
    EXPECT_EQ(formatCommand("", "print,/par/rcv/model"), "%%print,/par/rcv/model@9F\r\n");
    for (const char* line : {"dm;em", "a&&b", "a||b", "#comment", "x@1", "two\nlines"})
        EXPECT_EQ(formatCommandLine(line), std::string(line) + "\r\n") << line;
    EXPECT_TRUE(commandNeedsChecksum("set,a|b"));
}

TEST(Messageformat, TableAndIndex) {
    std::set<std::string> seen;
    for (int row = 0; row < kMessInfoCount; ++row) {
        const auto& info = MessInfoVXR[row];
        EXPECT_TRUE(seen.insert(info.id).second) << info.id;
        EXPECT_LE(info.kind, 3);
        EXPECT_LE(std::string(info.description).size(), 60u);
        if (row > 0) {
            EXPECT_EQ(messInfoRow(info.id[0], info.id[1]), row) << info.id;
        }
    }
    EXPECT_EQ(MessInfoVXR[messInfoRow('P', 'G')].kind, kBinaryChecksum);
    EXPECT_EQ(MessInfoVXR[messInfoRow('M', 'S')].kind, kHexChecksum);
    EXPECT_EQ(MessInfoVXR[messInfoRow('r', 'M')].kind, kCrcChecksum);
    EXPECT_EQ(MessInfoVXR[messInfoRow('R', 'E')].kind, kNoChecksum);
    EXPECT_EQ(messInfoRow('Q', 'Q'), 0);
    EXPECT_EQ(messInfoRow('/', 'A'), 0); // outside the index
    EXPECT_EQ(messInfoRow('\x7f', '~'), 0);
}

TEST(Messageformat, HeaderTestAndLength) {
    EXPECT_TRUE(isMessageHeader(bytes("RE002")));
    EXPECT_TRUE(isMessageHeader(bytes("~~005")));
    EXPECT_TRUE(isMessageHeader(bytes("||005")));
    EXPECT_TRUE(isMessageHeader(bytes("$GPGG")));
    EXPECT_FALSE(isMessageHeader(bytes("rM00A"))); // lower case id
    EXPECT_FALSE(isMessageHeader(bytes("RE00a"))); // lower case length digit
    EXPECT_FALSE(isMessageHeader(bytes("::005"))); // listed, but not a header pair
    EXPECT_FALSE(isMessageHeader(bytes("~|005")));
    EXPECT_EQ(messageLength(bytes("REFFF"), 5), 4100u);
    std::string line = "$GPGGA,1\r\n";
    EXPECT_EQ(messageLength(bytes(line), line.size()), 8u);
    EXPECT_EQ(messageLength(bytes("$GPGGA"), 6), 7u); // incomplete
}

TEST(Messageformat, ChecksumKinds) {
    // Kind 1: binary rotating checksum closes the message.
    std::string pg = "~~005abcd";
    pg.push_back(static_cast<char>(rotatingChecksum(pg.data(), pg.size())));
    EXPECT_EQ(checkMessage(bytes(pg), pg.size()), CheckResult::Good);
    pg[6] ^= 1;
    EXPECT_EQ(checkMessage(bytes(pg), pg.size()), CheckResult::BadChecksum);

    // Kind 2: hexadecimal digits, either case.
    std::string ms = "MS005abc";
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", rotatingChecksum(ms.data(), ms.size()));
    EXPECT_EQ(checkMessage(bytes(ms + hex), ms.size() + 2), CheckResult::Good);
    for (char& c : hex)
        c = static_cast<char>(std::toupper(c));
    EXPECT_EQ(checkMessage(bytes(ms + hex), ms.size() + 2), CheckResult::Good);
    EXPECT_EQ(checkMessage(bytes(ms + "zz"), ms.size() + 2), CheckResult::BadChecksum);

    // Kind 3: CRC-16 stored low byte first.
    std::string rm = "rM007abcde";
    std::uint16_t crc = crc16(0, rm.data(), rm.size());
    std::string good = rm + char(crc & 0xFF) + char(crc >> 8);
    EXPECT_EQ(checkMessage(bytes(good), good.size()), CheckResult::Good);
    std::string swapped = rm + char(crc >> 8) + char(crc & 0xFF);
    EXPECT_EQ(checkMessage(bytes(swapped), swapped.size()), CheckResult::BadChecksum);

    EXPECT_EQ(checkMessage(bytes("RE002%%"), 7), CheckResult::Good);
    EXPECT_EQ(checkMessage(bytes("QQ000"), 5), CheckResult::UnknownId);
    EXPECT_EQ(checkMessage(bytes("PG000"), 5), CheckResult::BadChecksum); // no room for a checksum
}
