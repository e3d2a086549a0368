// The program's framing, splitting, command formatting, CRC and reply handling held to the
// hand-written streams of tests/data. The checksums there were worked out by hand; the small
// reference routines below only guard the data files against typing mistakes, they are never
// used to judge the program.
#include "support/Golden.h"
#include "protocol/Commtools.h"
#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"
#include "protocol/Splitter.h"
#include "support/Peers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace telvor;
using namespace telvor::testing;

namespace {

const std::uint8_t* u8(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Bit by bit, straight from the rule: shift left, XOR 1021 hex when a 1 falls out.
std::uint16_t referenceCrc(std::uint16_t value, const std::string& data) {
    for (unsigned char b : data) {
        value ^= static_cast<std::uint16_t>(b << 8);
        for (int bit = 0; bit < 8; ++bit)
            value = static_cast<std::uint16_t>(value & 0x8000 ? (value << 1) ^ 0x1021 : value << 1);
    }
    return value;
}

std::uint8_t referenceRotating(const std::string& data) {
    auto rotl2 = [](unsigned c) { return static_cast<std::uint8_t>((c << 2 | c >> 6) & 0xFF); };
    std::uint8_t c = 0;
    for (unsigned char b : data)
        c = rotl2(c) ^ b;
    return rotl2(c);
}

std::string hex2(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(v >> 4) & 15], digits[v & 15]};
}

CheckResult checkNamed(const TGoldenCase& c) {
    std::string word = c.raw("check");
    if (word == "good")
        return CheckResult::Good;
    if (word == "bad")
        return CheckResult::BadChecksum;
    if (word != "unknown")
        throw std::runtime_error(c.where() + ": check is good, bad or unknown");
    return CheckResult::UnknownId;
}

// What a splitter hands out, in order; consecutive skipped runs merged.
struct Recorder : TSplitterSink {
    struct Event {
        bool message;
        std::string bytes;
    };
    std::vector<Event> events;
    bool garbage = false;

    void onMessage(const std::uint8_t* m, std::size_t n) override {
        events.push_back({true, std::string(reinterpret_cast<const char*>(m), n)});
    }
    void onSkipped(const std::uint8_t* b, std::size_t n, bool g) override {
        garbage = garbage || g;
        std::string bytes(reinterpret_cast<const char*>(b), n);
        if (!events.empty() && !events.back().message)
            events.back().bytes += bytes;
        else
            events.push_back({false, bytes});
    }
};

std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s)
        out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : "<" + hex2(c) + ">";
    return out;
}

std::string describe(const std::vector<Recorder::Event>& events) {
    std::string out;
    for (const auto& e : events)
        out += std::string(e.message ? "\n  message " : "\n  skip    ") + printable(e.bytes);
    return out;
}

} // namespace

TEST(GoldenData, ChecksumsInTheFilesFollowTheRules) {
    // Rotating checksum of "abc" is F3.
    EXPECT_EQ(referenceRotating("abc"), 0xF3);
    for (const auto& c : loadGolden("crc16.txt")) {
        EXPECT_EQ(
            referenceCrc(static_cast<std::uint16_t>(c.number("initial", 16)), c.bytes("data")),
            c.number("crc", 16))
            << c.where();
    }
    for (const auto& c : loadGolden("commands.txt")) {
        std::string line = c.bytes("line"), wire = c.bytes("wire");
        if (wire.size() == line.size() + 5) {
            EXPECT_EQ(wire.substr(line.size(), 3), "@" + hex2(referenceRotating(line + "@")))
                << c.where();
        }
    }
    // Every good frame with a kind really carries that kind's checksum.
    for (const auto& c : loadGolden("frames.txt")) {
        if (!c.has("kind") || c.raw("check") != "good")
            continue;
        std::string f = c.bytes("frame");
        switch (c.number("kind")) {
        case 1:
            EXPECT_EQ(referenceRotating(f), 0) << c.where();
            break;
        case 2:
            EXPECT_EQ(f.substr(f.size() - 2), hex2(referenceRotating(f.substr(0, f.size() - 2))))
                << c.where();
            break;
        case 3: {
            std::uint16_t crc = referenceCrc(0, f.substr(0, f.size() - 2));
            EXPECT_EQ(f.substr(f.size() - 2),
                      std::string({static_cast<char>(crc & 0xFF), static_cast<char>(crc >> 8)}))
                << c.where();
            break;
        }
        default:
            break;
        }
    }
}

TEST(GoldenData, EpochFramesCarryTheirChecksums) {
    // The text messages of an epoch carry two hex digits, every other one a binary byte.
    for (const auto& c : loadGolden("epoch.txt"))
        for (const auto* e : c.all("frame")) {
            const std::string f = e->bytes(), id = f.substr(0, 2);
            if (id == "MS" || id == "GS" || id == "NS") {
                EXPECT_EQ(f.substr(f.size() - 2),
                          hex2(referenceRotating(f.substr(0, f.size() - 2))))
                    << "epoch.txt:" << e->line;
            } else {
                EXPECT_EQ(referenceRotating(f), 0) << "epoch.txt:" << e->line;
            }
        }
}

TEST(GoldenCrc16, PublishedVectorsAndContinuation) {
    for (const auto& c : loadGolden("crc16.txt")) {
        const std::string data = c.bytes("data");
        const auto initial = static_cast<std::uint16_t>(c.number("initial", 16));
        const auto expected = static_cast<std::uint16_t>(c.number("crc", 16));
        EXPECT_EQ(crc16(initial, data.data(), data.size()), expected) << c.where();
        // Any cut, the second call started from the first's result, gives the same.
        for (std::size_t cut = 0; cut <= data.size(); ++cut) {
            std::uint16_t first = crc16(initial, data.data(), cut);
            EXPECT_EQ(crc16(first, data.data() + cut, data.size() - cut), expected)
                << c.where() << " cut at " << cut;
        }
    }
}

TEST(GoldenFrames, HeaderLengthAndCheckOfEachKind) {
    for (const auto& c : loadGolden("frames.txt")) {
        const std::string f = c.bytes("frame");
        ASSERT_GE(f.size(), kHeaderSize) << c.where();
        const bool header = c.raw("header") == "yes";
        EXPECT_EQ(isMessageHeader(u8(f)), header) << c.where();
        if (c.has("length")) {
            EXPECT_EQ(messageLength(u8(f), f.size()), static_cast<std::size_t>(c.number("length")))
                << c.where();
        }
        if (c.has("check")) {
            EXPECT_EQ(checkMessage(u8(f), f.size()), checkNamed(c)) << c.where();
        }
        if (c.has("kind")) {
            EXPECT_EQ(MessInfoVXR[messInfoRow(f[0], f[1])].kind, c.number("kind")) << c.where();
        }
    }
}

TEST(GoldenFrames, SplitterDeliversExactlyTheGoodFramesThatPassTheHeaderTest) {
    for (const auto& c : loadGolden("frames.txt")) {
        const std::string f = c.bytes("frame");
        if (!c.has("check") || messageLength(u8(f), f.size()) != f.size())
            continue;
        const bool deliver = c.raw("header") == "yes" && c.raw("check") == "good";
        Recorder r;
        TMessageSplitter s(r);
        // A line end behind it lets a "$" line complete; it is skipped, never delivered.
        const std::string stream = f + "\r\n";
        ASSERT_TRUE(s.feed(u8(stream), stream.size()));
        std::vector<std::string> messages;
        for (const auto& e : r.events)
            if (e.message)
                messages.push_back(e.bytes);
        EXPECT_EQ(messages, deliver ? std::vector<std::string>{f} : std::vector<std::string>{})
            << c.where() << describe(r.events);
    }
}

TEST(GoldenStream, SplitsAsWrittenWholeByteByByteAndCutInTwo) {
    for (const auto& c : loadGolden("stream.txt")) {
        std::string stream;
        for (const auto* e : c.all("stream"))
            stream += e->bytes();
        std::vector<Recorder::Event> expected;
        for (const auto& e : c.entries) {
            if (e.key != "skip" && e.key != "message")
                continue;
            bool message = e.key == "message";
            if (!message && !expected.empty() && !expected.back().message)
                expected.back().bytes += e.bytes();
            else
                expected.push_back({message, e.bytes()});
        }
        const bool garbage = c.raw("garbage") == "yes";

        auto run = [&](const std::vector<std::size_t>& cuts, const std::string& how) {
            Recorder r;
            TMessageSplitter s(r);
            std::size_t from = 0;
            for (std::size_t to : cuts) {
                ASSERT_TRUE(s.feed(u8(stream) + from, to - from));
                from = to;
            }
            EXPECT_EQ(describe(r.events), describe(expected)) << c.where() << " fed " << how;
            EXPECT_EQ(s.pending(), 0u) << c.where() << " fed " << how;
            EXPECT_EQ(r.garbage, garbage) << c.where() << " fed " << how;
        };
        run({stream.size()}, "whole");
        std::vector<std::size_t> each;
        for (std::size_t i = 1; i <= stream.size(); ++i)
            each.push_back(i);
        run(each, "byte by byte");
        // One report per case is enough to see what went wrong.
        for (std::size_t cut = 1; cut < stream.size() && !HasFailure(); ++cut)
            run({cut, stream.size()}, "cut at " + std::to_string(cut));
    }
}

TEST(GoldenCommands, LinesGoOutWithTheirSuffixOrWithout) {
    for (const auto& c : loadGolden("commands.txt")) {
        const std::string line = c.bytes("line"), wire = c.bytes("wire");
        EXPECT_EQ(formatCommandLine(line), wire) << c.where();
        EXPECT_EQ(commandNeedsChecksum(line), wire.size() == line.size() + 5) << c.where();
        if (c.has("id")) {
            EXPECT_EQ(formatCommand(c.bytes("id"), c.bytes("command")), wire) << c.where();
        }
    }
}

TEST(GoldenReplies, ReplyFramesPassTheSplitterWhole) {
    for (const auto& c : loadGolden("replies.txt")) {
        const std::string reply = c.bytes("reply");
        EXPECT_EQ(messageLength(u8(reply), reply.size()), reply.size()) << c.where();
        EXPECT_EQ(checkMessage(u8(reply), reply.size()), CheckResult::Good) << c.where();
        Recorder r;
        TMessageSplitter s(r);
        ASSERT_TRUE(s.feed(u8(reply), reply.size()));
        EXPECT_EQ(describe(r.events), describe({{true, reply}})) << c.where();
    }
}

namespace {

using GoldenEngine = TPtyLinkFixture;

} // namespace

// The command engine on a real link: the bytes it writes are the golden line, and each golden
// reply written back reads as the golden value.
TEST_F(GoldenEngine, SendsTheGoldenLineAndReadsTheGoldenReply) {
    for (const auto& c : loadGolden("replies.txt")) {
        const std::string send = c.bytes("send");
        std::string text = send.substr(0, send.size() - 2);
        if (text.size() > 3 && text[text.size() - 3] == '@')
            text.resize(text.size() - 3);
        ASSERT_TRUE(SendLine(text)) << c.where();
        std::string wrote = pty_.readUntil(
            [](const std::string& got) { return got.find("\r\n") != std::string::npos; }, 2000);
        // Where the golden line is one the program writes, it writes exactly that.
        if (c.raw("program") == "yes") {
            EXPECT_EQ(wrote, send) << c.where();
        }

        const std::string reply = c.bytes("reply");
        const bool ok = reply.compare(0, 2, "RE") == 0;
        pty_.write(reply);
        ASSERT_TRUE(AwaitReply(ok ? "RE" : "ER", 2000)) << c.where();
        EXPECT_EQ(ReplyText(0), reply.substr(0, reply.size() - 1)) << c.where();
        const bool percentId = reply.compare(5, 2, "%%") == 0;
        EXPECT_EQ(ReplyText(ok && percentId ? 7 : 5), c.bytes("value")) << c.where();
    }
}
