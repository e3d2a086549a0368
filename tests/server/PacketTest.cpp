// The sharing packet, its reader and the forwarding of receiver output, without sockets.
#include "server/Forwarder.h"
#include "server/Packetreader.h"
#include "server/Sharingpacket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telvor {
namespace {

std::string str(const TBytes& b) {
    return std::string(b.begin(), b.end());
}
TBytes bytes(const std::string& s) {
    return TBytes(s.begin(), s.end());
}

TEST(SharingPacket, ScramblingRoundTripsForEveryTailLengthAndMovesBits) {
    for (std::string key : {"PRAVL", "k", "\xff\x80 high bytes", "a much longer password here"})
        for (std::size_t n : {0u, 1u, 4u, 5u, 6u, 11u, 64u, 1027u}) {
            TBytes data(n);
            for (std::size_t i = 0; i < n; ++i)
                data[i] = std::uint8_t(i * 37 + 11);
            TBytes copy = data;
            scramble(copy.data(), copy.size(), key);
            if (n >= 5) {
                EXPECT_NE(copy, data) << key << " " << n;
            }
            unscramble(copy.data(), copy.size(), key);
            EXPECT_EQ(copy, data) << key << " " << n;
        }
}

TEST(SharingPacket, KeyPreparationAndBitOrderGiveTheKnownLayout) {
    // "A" (0x41) prepares to 0x41 ^ 0x14 = 0x55: ones at bits 1, 3, 5, 7, so k = 4; those
    // bits go to 0..3 and bits 0, 2, 4, 6 to 4..7.
    std::uint8_t b = 0b10110010;
    scramble(&b, 1, "A");
    EXPECT_EQ(b, 0b0100'1101);
    // A high key byte also sets the mask's high nibble: 0x80 ^ 0xF8 = 0x78.
    std::uint8_t h = 0b10000000;
    scramble(&h, 1, "\x80");
    EXPECT_EQ(h, 0b00001000);
}

TEST(SharingPacket, ChecksumCarriesWhenTopBitsAgree) {
    EXPECT_EQ(sharingChecksum(nullptr, 0), 0u);
    const std::uint8_t one[] = {1, 0, 0, 0};
    EXPECT_EQ(sharingChecksum(one, 4), 2u); // 0 and 1 share the top bit 0
    const std::uint8_t high[] = {0, 0, 0, 0x80, 1};
    // 0 + 0x80000000 (top bits differ), then + 1 + 0 (no carry: top bits 1 and 0).
    EXPECT_EQ(sharingChecksum(high, 5), 0x80000001u);
}

TEST(SharingPacket, PacketHasItsHeaderAndOpensOnlyWithTheSameKey) {
    TBytes p = buildPacket("WCprint,/par/rcv/model", kDefaultSharingKey);
    ASSERT_EQ(p.size(), 22u + 10u);
    EXPECT_EQ(p[0] | p[1] << 8, 32);
    EXPECT_EQ(p[2], 6);
    EXPECT_EQ(std::string(p.begin() + 3, p.begin() + 6), "NLG");
    auto m = openPacket(p.data(), p.size(), "PRAVL");
    ASSERT_TRUE(m);
    EXPECT_EQ(str(*m), "WCprint,/par/rcv/model");
    EXPECT_FALSE(openPacket(p.data(), p.size(), "other"));
}

TEST(SharingPacket, MessagesThatNoReaderAcceptsAreNotBuilt) {
    EXPECT_EQ(buildPacket(std::string(kMaxMessageSize, 'x'), "k").size(), 4096u);
    EXPECT_TRUE(buildPacket(std::string(kMaxMessageSize + 1, 'x'), "k").empty());
    EXPECT_TRUE(buildPacket(std::string(4097, 'x'), "k").empty());
}

TEST(SharingPacket, StoredPasswordRoundTripsAndEmptyStaysEmpty) {
    EXPECT_EQ(encodeStoredPassword(""), "");
    EXPECT_EQ(decodeStoredPassword(""), std::string());
    const std::string stored = encodeStoredPassword("s3cret pass");
    EXPECT_EQ(stored.size(), 2u * (11 + 10));
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(stored.find("s3cret"), std::string::npos);
    EXPECT_EQ(decodeStoredPassword(stored), "s3cret pass");
    std::string broken = stored;
    broken[20] = broken[20] == '0' ? '1' : '0';
    EXPECT_FALSE(decodeStoredPassword(broken));
    EXPECT_FALSE(decodeStoredPassword("ABC"));
    EXPECT_FALSE(decodeStoredPassword("zz00"));
}

// ---------------------------------------------------------------------------------------------

struct TReaderProbe {
    std::vector<std::string> got;
    TPacketReader reader{[this](const std::uint8_t* m, std::size_t n) {
        got.emplace_back(reinterpret_cast<const char*>(m), n);
    }};
    void feed(const TBytes& b) { reader.feed(b.data(), b.size()); }
};

TEST(PacketReader, BadPacketThenGoodOneInTheSameReadCountsOneErrorAndKeepsTheGoodOne) {
    TReaderProbe probe;
    TBytes bad = buildPacket("MMfirst", "PRAVL");
    bad[8] ^= 0x40; // the checksum no longer matches
    TBytes all = bad;
    for (const char* m : {"MMsecond", "TI1234"}) {
        TBytes p = buildPacket(m, "PRAVL");
        all.insert(all.end(), p.begin(), p.end());
    }
    probe.feed(all);
    EXPECT_EQ(probe.got, (std::vector<std::string>{"MMsecond", "TI1234"}));
    EXPECT_EQ(probe.reader.errors(), 1u);
    EXPECT_EQ(probe.reader.pending(), 0u);
}

TEST(PacketReader, GarbageAndBadLengthsAreSkippedToTheNextMarker) {
    TReaderProbe probe;
    TBytes all = bytes("garbage without any marker at all.....");
    TBytes tooLong = buildPacket("MMx", "PRAVL");
    tooLong[0] = 0x01;
    tooLong[1] = 0x10; // 4097
    all.insert(all.end(), tooLong.begin(), tooLong.end());
    TBytes tiny = buildPacket("MMx", "PRAVL");
    tiny[0] = 6;
    tiny[1] = 0;
    all.insert(all.end(), tiny.begin(), tiny.end());
    TBytes good = buildPacket("CHhello", "PRAVL");
    all.insert(all.end(), good.begin(), good.end());
    probe.feed(all);
    EXPECT_EQ(probe.got, std::vector<std::string>{"CHhello"});
    EXPECT_GE(probe.reader.errors(), 3u);
}

// Six bytes that announce the largest packet, again and again: each failed packet costs one
// unscrambling of what it announced, not one for every header inside it.
TEST(PacketReader, HeaderFloodCostsOneFailedPacketPerAnnouncedLength) {
    TReaderProbe probe;
    TBytes flood;
    for (int i = 0; i < 4 * 4096 / 6; ++i)
        flood.insert(flood.end(), {0x00, 0x10, 0x06, 'N', 'L', 'G'});
    TBytes good = buildPacket("CHafter", "PRAVL");
    flood.insert(flood.end(), good.begin(), good.end());
    probe.feed(flood);
    EXPECT_LE(probe.reader.errors(), 10u);
    EXPECT_GE(probe.reader.errors(), 3u);
    // The packet after the flood is found once the last announced length has come.
    TBytes rest(4096, 0);
    rest.insert(rest.end(), good.begin(), good.end());
    probe.feed(rest);
    EXPECT_EQ(probe.got.back(), "CHafter");
}

// The empty packet and payloads of all ones open under every key: they prove nothing.
TEST(SharingPacket, OnlyMessagesThatDependOnTheKeyProveIt) {
    const TBytes empty = buildPacket("", "PRAVL");
    EXPECT_TRUE(openPacket(empty.data(), empty.size(), "another key"));
    const std::string ones(8, '\xFF');
    const TBytes allOnes = buildPacket(ones, "secret");
    auto opened = openPacket(allOnes.data(), allOnes.size(), "any other");
    ASSERT_TRUE(opened);
    EXPECT_FALSE(provesKey(opened->data(), opened->size()));
    EXPECT_FALSE(provesKey(nullptr, 0));
    const std::string zeros(2, '\0');
    EXPECT_TRUE(provesKey(reinterpret_cast<const std::uint8_t*>(zeros.data()), 2)); // sum 1
    const std::string ping = "TI\x01\x02\x03\x04";
    EXPECT_TRUE(provesKey(reinterpret_cast<const std::uint8_t*>(ping.data()), ping.size()));
}

TEST(PacketReader, PacketsSplitAtEveryByteAndLargerThanThePendingBufferArrive) {
    TReaderProbe probe;
    TBytes stream;
    std::vector<std::string> sent;
    for (int i = 0; i < 6; ++i) {
        sent.push_back("MM" +
                       std::string(std::size_t(kMaxMessageSize - 2 - i * 500), char('a' + i)));
        TBytes p = buildPacket(sent.back(), "PRAVL");
        stream.insert(stream.end(), p.begin(), p.end());
    }
    for (std::size_t i = 0; i < stream.size(); i += 7)
        probe.reader.feed(stream.data() + i, std::min<std::size_t>(7, stream.size() - i));
    EXPECT_TRUE(probe.got == sent);
    probe.got.clear();
    probe.feed(stream); // 20 KB in one call
    EXPECT_TRUE(probe.got == sent);
    EXPECT_EQ(probe.reader.errors(), 0u);
}

// ---------------------------------------------------------------------------------------------

struct TForwardProbe {
    std::vector<std::string> sent;
    TForwarder f{[this](const std::uint8_t* m, std::size_t n) {
        sent.emplace_back(reinterpret_cast<const char*>(m), n);
    }};
    void forward(const std::string& s) {
        f.forward(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    }
};

TEST(Forwarder, RepliesTravelAtOnceAndTheRestWaitsForTheFlush) {
    TForwardProbe p;
    p.forward("PG01Aabcdefghijklmnopqrstuvwxyz");
    EXPECT_TRUE(p.sent.empty());
    // A reply cuts the buffer before it and goes out once whole.
    p.forward("RE005%%ab");
    EXPECT_EQ(p.sent, std::vector<std::string>{"MMPG01Aabcdefghijklmnopqrstuvwxyz"});
    p.forward("c\r\n");
    ASSERT_EQ(p.sent.size(), 2u);
    EXPECT_EQ(p.sent[1], "MMRE005%%abc\r\n");
    p.forward("~~00Bpartial");
    p.f.flush();
    EXPECT_EQ(p.sent.back(), "MM~~00Bpartial");
    p.f.flush();
    EXPECT_EQ(p.sent.size(), 3u);
}

TEST(Forwarder, GetWithBlockSizeSwitchesThePacketSizeUntilTheNextPercentOrHashCommand) {
    TForwardProbe p;
    p.f.onCommand("%%print,/par/rcv/model");
    EXPECT_EQ(p.f.packetSize(), 1500);
    p.forward(std::string(700, 'x'));
    p.f.onCommand("get,\"/log/a\":{300,1024},0");
    EXPECT_EQ(p.f.packetSize(), 1030);
    EXPECT_FALSE(p.f.flushTimerOn());
    ASSERT_EQ(p.sent.size(), 1u); // what came before went out at its own size
    p.sent.clear();
    p.forward(std::string(2500, 'b'));
    ASSERT_EQ(p.sent.size(), 2u);
    EXPECT_EQ(p.sent[0].size(), 1032u);
    EXPECT_EQ(p.f.buffered(), 440u);
    // ACKs leave it alone; NAK drops the damaged rest; "%" restores the normal state.
    p.f.onCommand("\x06");
    EXPECT_EQ(p.f.packetSize(), 1030);
    p.f.onCommand("\x15");
    EXPECT_EQ(p.f.buffered(), 0u);
    p.f.onCommand("%%");
    EXPECT_EQ(p.f.packetSize(), 1500);
    EXPECT_TRUE(p.f.flushTimerOn());

    p.f.onCommand("get,\"/log/a\":{300},0");
    EXPECT_EQ(p.f.packetSize(), 518);
    p.f.onCommand("#");
    p.f.onCommand("get,\"/log/a\":{300,2048},0");
    EXPECT_EQ(p.f.packetSize(), 1027);
    p.f.onCommand("#");
    p.f.onCommand("get"); // too short to be a download
    EXPECT_EQ(p.f.packetSize(), 1500);
}

} // namespace
} // namespace telvor
