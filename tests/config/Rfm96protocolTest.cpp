// The modem's framing both ways, the band formulas and the list rules of the special rows.
#include "config/Rfm96protocol.h"

#include <gtest/gtest.h>

using namespace telvor;

namespace {

std::vector<std::uint8_t> reply(std::vector<std::uint8_t> bytes) {
    unsigned sum = 0;
    for (auto b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(-sum));
    return bytes;
}

const TModemRow& row(const char* name) {
    return modemRows()[static_cast<std::size_t>(modemRowIndex(name))];
}

} // namespace

TEST(Rfm96protocol, RequestsCarryTheComplementOfTheirSum) {
    EXPECT_EQ(modemRequest(kModemProbe, {0}), (std::vector<std::uint8_t>{0x01, 34, 0, 0xDD}));
    // The sum wraps at 8 bits before the complement.
    EXPECT_EQ(modemRequest(kModemWriteRegister, {0x00, 0x10, 0xFF}).back(),
              static_cast<std::uint8_t>(~(32 + 0x10 + 0xFF)));
    EXPECT_EQ(modemRequest(kModemStore, {}), (std::vector<std::uint8_t>{0x01, 30, 0xE1}));
}

TEST(Rfm96protocol, RepliesAreCheckedWhole) {
    const auto good = reply({0x01, 0xA1, 0x07, 0x2C});
    EXPECT_EQ(modemReplyData(good.data(), good.size(), 33, 2),
              (std::vector<std::uint8_t>{0x07, 0x2C}));
    // The probe's answer as the power-cycle search knows it.
    const auto probe = reply({0x01, 0xA2, 0x00});
    EXPECT_EQ(probe.back(), 0x5D);
    EXPECT_TRUE(modemReplyData(probe.data(), probe.size(), kModemProbe, 1));

    auto damaged = good;
    damaged[2] ^= 0x40;
    EXPECT_FALSE(modemReplyData(damaged.data(), damaged.size(), 33, 2));
    EXPECT_FALSE(modemReplyData(good.data(), good.size(), 34, 2)) << "another command's reply";
    EXPECT_FALSE(modemReplyData(good.data(), good.size() - 1, 33, 2)) << "cut short";
    EXPECT_FALSE(modemReplyData(good.data(), good.size(), 33, 1)) << "longer than asked";
    const auto noBit = reply({0x01, 0x21, 0x07, 0x2C});
    EXPECT_FALSE(modemReplyData(noBit.data(), noBit.size(), 33, 2)) << "bit 7 missing";
    EXPECT_FALSE(modemReplyData(nullptr, 0, 33, 0));
}

TEST(Rfm96protocol, ChannelFrequenciesFollowTheBand) {
    // Band 0: bits 3-14 count 64 steps, bits 15-21 single steps of 12.5 kHz, 45 MHz above.
    const std::uint32_t w0 = 506u << 3 | 16u << 15;
    EXPECT_DOUBLE_EQ(channelFrequency(w0, 0), (506 * 64 + 16) * 0.0125 + 45);
    EXPECT_DOUBLE_EQ(channelFrequency(w0, 0, true), (506 * 64 + 16) * 0.0125);
    // Band 2: bits 12-22 count 32 steps, bits 5-11 single ones, 45 MHz below.
    const std::uint32_t w2 = 1100u << 12 | 37u << 5 | 0x1F;
    EXPECT_DOUBLE_EQ(channelFrequency(w2, 2), (1100 * 32 + 37) * 0.0125 - 45);
    // Band 4: bits 8-18 count 64 steps, bits 1-7 single ones, 54.45 MHz below.
    const std::uint32_t w4 = 600u << 8 | 99u << 1 | 1;
    EXPECT_DOUBLE_EQ(channelFrequency(w4, 4), (600 * 64 + 99) * 0.0125 - 54.45);
    EXPECT_DOUBLE_EQ(channelFrequency(w4, 4, true), (600 * 64 + 99) * 0.0125);
    // An unset channel is 0, not the band's offset.
    for (int band : {0, 2, 4})
        EXPECT_EQ(channelFrequency(0, band), 0.0);
    EXPECT_EQ(channelFrequency(w0, 3), 0.0);
}

TEST(Rfm96protocol, SpeedRowMapsListEntriesToItsCodes) {
    const TModemRow& speed = row("DCE-DTE speed");
    const int codes[] = {8, 0, 1, 2, 3};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(modemValueOf(speed, i), codes[i]);
        EXPECT_EQ(modemIndexOf(speed, codes[i]), i);
    }
    // Inside the row's range but no entry of the list.
    for (int v : {4, 5, 6, 7, 9})
        EXPECT_FALSE(modemIndexOf(speed, v)) << v;
    EXPECT_EQ(modemDefaultIndex(speed), 1); // code 0: 19200
    EXPECT_EQ(modemSpeedOfCode(8), 38400u);
    EXPECT_EQ(modemCodeOfSpeed(2400), 3);
    EXPECT_FALSE(modemCodeOfSpeed(115200));
}

TEST(Rfm96protocol, ProtocolRowCarriesBreakToCommandInBitSeven) {
    const TModemRow& protocol = row("Protocol");
    EXPECT_EQ(modemValueOf(protocol, 2, true), 0x82);
    EXPECT_EQ(modemValueOf(protocol, 4, false), 4);
    bool brk = false;
    EXPECT_EQ(modemIndexOf(protocol, 0x83, &brk), 3);
    EXPECT_TRUE(brk);
    EXPECT_EQ(modemIndexOf(protocol, 0x01, &brk), 1);
    EXPECT_FALSE(brk);
    EXPECT_FALSE(modemIndexOf(protocol, 0x05)) << "no sixth protocol";
    EXPECT_FALSE(modemIndexOf(protocol, 0x0A)) << "bits 3-6 unused";
    EXPECT_FALSE(modemIndexOf(protocol, 0x85)) << "above the range";
}

TEST(Rfm96protocol, PlainRowsOffsetTheirIndexByTheLowestValue) {
    const TModemRow& link = row("RF link speed");
    EXPECT_EQ(modemIndexOf(link, 3), 1);
    EXPECT_EQ(modemValueOf(link, 0), 2);
    EXPECT_FALSE(modemIndexOf(link, 1));
    EXPECT_EQ(modemRowItems(row("EOT")).size(), 256u);
    EXPECT_EQ(modemRowItems(row("LocalAddress")).back(), "254");
    EXPECT_EQ(modemVoltageText({12, 5}), "DC=12.05V");
    EXPECT_EQ(modemTemperatureText(0xF6), "T=-10 C");
}
