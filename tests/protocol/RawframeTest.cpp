#include "protocol/Rawframe.h"
#include "support/Messagemaker.h"

#include <gtest/gtest.h>

#include <string>

using namespace telvor;
using namespace telvor::testing;

namespace {

const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

std::size_t frameAt(const std::string& s) {
    return rawFrameAt(bytes(s), s.size());
}

std::uint64_t skipped(TDamageCounter& c, const std::string& s) {
    return c.skipped(bytes(s), s.size());
}

} // namespace

TEST(RawFrame, IntactCutAndDamagedFramesAreToldApart) {
    const std::string frame = makeRawFrame(std::string("\x00\x01rM\r\n\xff", 7));
    EXPECT_EQ(frameAt(frame), frame.size());
    EXPECT_EQ(frameAt(frame + "GS"), frame.size());
    for (std::size_t cut : {1u, 2u, 4u, 5u, 9u})
        EXPECT_EQ(frameAt(frame.substr(0, cut)), kRawFrameIncomplete) << cut;
    std::string bad = frame;
    bad[6] ^= 0x20;
    EXPECT_EQ(frameAt(bad), 0u);
    EXPECT_EQ(frameAt("rMxyz12"), 0u);  // no length
    EXPECT_EQ(frameAt("rM001a"), 0u);   // shorter than its CRC
    EXPECT_EQ(frameAt("rA005abc"), 0u); // another lower-case id
    EXPECT_EQ(frameAt(""), 0u);
}

TEST(RawFrame, OnlyBytesOutsideIntactFramesAndLineEndsCountAsDamage) {
    const std::string a = makeRawFrame("first frame"), b = makeRawFrame(std::string(300, 'r'));
    TDamageCounter c;
    EXPECT_EQ(skipped(c, "\r\n" + a + "\r\n" + b), 0u);
    EXPECT_EQ(skipped(c, "junk" + a + "r!"), 6u); // a stray "r" that starts no frame is damage

    // A frame cut between two runs waits for the rest, whatever the cut.
    for (std::size_t cut = 1; cut < b.size(); cut += 37) {
        EXPECT_EQ(skipped(c, "x" + b.substr(0, cut)), 1u) << cut;
        EXPECT_EQ(skipped(c, b.substr(cut) + "\n"), 0u) << cut;
    }

    // Cut off by a message: what was held is damage.
    EXPECT_EQ(skipped(c, b.substr(0, 100)), 0u);
    EXPECT_EQ(c.interrupted(), 100u);
    EXPECT_EQ(c.interrupted(), 0u);

    // A damaged frame counts whole, and the frame after it is still found.
    std::string bad = a;
    bad[8] ^= 1;
    EXPECT_EQ(skipped(c, bad + a), bad.size());
}
