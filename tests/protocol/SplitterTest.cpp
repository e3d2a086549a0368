#include "protocol/Splitter.h"
#include "support/Messagemaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace telvor;
using telvor::testing::makeMessage;

namespace {

const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

struct Recorder : TSplitterSink {
    std::vector<std::string> messages;
    std::string skipped;
    std::string all; // messages and skipped bytes in the order they came out
    bool garbage = false;
    std::atomic<bool>* stopAfterMessage = nullptr;

    void onMessage(const std::uint8_t* m, std::size_t n) override {
        messages.emplace_back(reinterpret_cast<const char*>(m), n);
        all.append(messages.back());
        if (stopAfterMessage)
            *stopAfterMessage = true;
    }
    void onSkipped(const std::uint8_t* b, std::size_t n, bool g) override {
        skipped.append(reinterpret_cast<const char*>(b), n);
        all.append(reinterpret_cast<const char*>(b), n);
        garbage = garbage || g;
    }
};

struct SplitterTest : ::testing::Test {
    Recorder sink;
    TMessageSplitter splitter{sink};
    bool feed(const std::string& s) { return splitter.feed(bytes(s), s.size()); }
    std::string pending() const {
        return {reinterpret_cast<const char*>(splitter.pendingData()), splitter.pending()};
    }
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(SplitterTest, ReplySplitAnywhereIsDeliveredOnceWhole) {
    const std::string reply = "RE002ok";
    for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
        Recorder r;
        TMessageSplitter s(r);
        EXPECT_TRUE(s.feed(bytes(reply), cut));
        EXPECT_TRUE(s.feed(bytes(reply) + cut, reply.size() - cut));
        EXPECT_EQ(r.messages, Strings{reply}) << "cut " << cut;
        EXPECT_EQ(r.skipped, "");
        EXPECT_EQ(s.pending(), 0u);
    }
}

TEST_F(SplitterTest, LineEndsAreSkippedWithoutBeingGarbage) {
    feed("\r\n\n\rRE002ok\r\n");
    EXPECT_EQ(sink.messages, Strings{"RE002ok"});
    EXPECT_EQ(sink.skipped, "\r\n\n\r\r\n");
    EXPECT_FALSE(sink.garbage);
}

TEST_F(SplitterTest, ResynchronisesAfterGarbage) {
    const std::string pg = makeMessage("PG", "position");
    feed("noise\r\n#" + pg.substr(0, 3));
    feed(pg.substr(3) + "xyz\x01\x02" + "ER003bad" + "tail");
    EXPECT_EQ(sink.messages, (Strings{pg, "ER003bad"}));
    EXPECT_EQ(sink.skipped, "noise\r\n#xyz\x01\x02");
    EXPECT_TRUE(sink.garbage);
    EXPECT_EQ(pending(), "tail"); // four bytes could still begin a header
}

TEST_F(SplitterTest, DamagedMessageDropsOneByteSoInnerMessageIsFound) {
    // "SE" announces 100 hex bytes; a good "E1" message starts at its second byte.
    const std::string inner = makeMessage("E1", "abcdefghi");
    ASSERT_EQ(inner.substr(0, 5), "E100A");
    std::string damaged = "S" + inner + std::string(0x100 + 5 - 1 - inner.size(), 'z');
    if (rotatingChecksum(damaged.data(), damaged.size()) == 0)
        damaged.back() = 'y';
    ASSERT_EQ(checkMessage(bytes(damaged), damaged.size()), CheckResult::BadChecksum);
    const std::string tail = makeMessage("EL", "elev");

    feed(damaged.substr(0, 100));
    EXPECT_TRUE(sink.messages.empty()); // still waiting for the whole "SE"
    feed(damaged.substr(100) + tail);
    EXPECT_EQ(sink.messages, (Strings{inner, tail}));
    EXPECT_EQ(sink.skipped, "S" + damaged.substr(1 + inner.size()));
    EXPECT_TRUE(sink.garbage);
}

TEST_F(SplitterTest, LowerCaseIdsDigitsAndMixedPairsAreNeverHeaders) {
    const std::string rm = makeMessage("rM", "raw data");
    ASSERT_EQ(checkMessage(bytes(rm), rm.size()), CheckResult::Good);
    // Were "~|0FF" a header, it would hold the reply back waiting for 260 bytes.
    const std::string skipped = "~|0FF\r\n" + rm + "RE00aabcdefghij";
    feed(skipped + "RE002ok");
    EXPECT_EQ(sink.messages, Strings{"RE002ok"});
    EXPECT_EQ(sink.skipped, skipped);
}

TEST_F(SplitterTest, HexChecksumDigitsInEitherCase) {
    std::string ms = makeMessage("MS", "status");
    std::string lower = ms;
    for (std::size_t i = lower.size() - 2; i < lower.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
    std::string wrong = ms;
    wrong[wrong.size() - 1] = wrong.back() == '0' ? '1' : '0';
    feed(lower + wrong + ms);
    EXPECT_EQ(sink.messages, (Strings{lower, ms}));
    EXPECT_EQ(sink.skipped, wrong);
}

TEST_F(SplitterTest, DollarLinesAreDroppedAndNeverHoldBackMessages) {
    feed("$GPGGA,1,RE002ok,2*7F\r\n" + std::string("$no line end yet ") + "RE002hi");
    // The reply inside the line is found by the byte-wise search; the open line waits for
    // nothing.
    EXPECT_EQ(sink.messages, (Strings{"RE002ok", "RE002hi"}));
    EXPECT_EQ(sink.skipped, "$GPGGA,1,,2*7F\r\n$no line end yet ");
    EXPECT_EQ(splitter.pending(), 0u);
}

// Binary bodies are full of letter pairs: "MGE0A" claims 3594 bytes. The reply after it
// must not wait for them, or a stream that stops after "dm" keeps its last replies.
TEST_F(SplitterTest, UnknownIdsNeverHoldBackWhatFollows) {
    ASSERT_EQ(messInfoRow('M', 'G'), 0);
    feed(std::string("\x01:MGE0A\x03") + "RE003%%\n");
    EXPECT_EQ(sink.messages, (Strings{"RE003%%\n"}));
    EXPECT_TRUE(sink.garbage);
    EXPECT_EQ(splitter.pending(), 0u);
}

TEST_F(SplitterTest, ExactlyFullBufferIsAcceptedOneMoreDiscardsEverything) {
    const std::string announce = "REFFF"; // waits for 4100 bytes
    feed(announce);
    EXPECT_EQ(splitter.space(), TMessageSplitter::kPendingSize - 5);
    EXPECT_TRUE(feed(std::string(TMessageSplitter::kPendingSize - 5, 'x')));
    EXPECT_EQ(sink.messages, Strings{announce + std::string(4095, 'x')});
    EXPECT_EQ(sink.skipped.size() + pending().size(), TMessageSplitter::kPendingSize - 4100);

    Recorder r;
    TMessageSplitter s(r);
    std::string chunk(TMessageSplitter::kPendingSize - 4, 'x');
    ASSERT_TRUE(s.feed(bytes(announce), 5));
    EXPECT_FALSE(s.feed(bytes(chunk), chunk.size()));
    EXPECT_EQ(s.pending(), 0u);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_TRUE(r.skipped.empty());
    ASSERT_TRUE(s.feed(bytes("RE002ok"), 7)); // starts afresh
    EXPECT_EQ(r.messages, Strings{"RE002ok"});
}

TEST_F(SplitterTest, StopLeavesTheRestPending) {
    std::atomic<bool> stop{false};
    Recorder r;
    r.stopAfterMessage = &stop;
    TMessageSplitter s(r, &stop);
    s.feed(bytes("RE002okER002no"), 14);
    EXPECT_EQ(r.messages, Strings{"RE002ok"});
    EXPECT_EQ(s.pending(), 7u);
    r.stopAfterMessage = nullptr;
    stop = false;
    s.feed(nullptr, 0);
    EXPECT_EQ(r.messages, (Strings{"RE002ok", "ER002no"}));
}

// Random streams of every id in the table, some damaged, mixed with garbage and cut into random
// chunks: exactly the intact messages with upper-case ids come out, and every byte fed comes
// out once, in order, or is still pending.
TEST_F(SplitterTest, RandomStreamsAccountForEveryByte) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    // Bytes that can neither start a header nor complete one.
    std::string inert;
    for (int b = 0; b < 256; ++b)
        if (!std::isupper(b) && !std::isdigit(b) &&
            std::string_view("~|=>").find(static_cast<char>(b)) == std::string_view::npos)
            inert.push_back(static_cast<char>(b));
    auto inertBytes = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s.push_back(inert[pick(0, static_cast<int>(inert.size()) - 1)]);
        return s;
    };

    for (int round = 0; round < 20; ++round) {
        std::string stream;
        Strings expected;
        for (int i = 0; i < 150; ++i) {
            if (pick(0, 9) == 0)
                stream += inertBytes(pick(1, 30));
            const char* id = MessInfoVXR[pick(1, kMessInfoCount - 1)].id;
            std::string m = makeMessage(id, inertBytes(pick(5, 295)));
            const int kind = telvor::testing::kindOf(id);
            const bool damage = kind != kNoChecksum && pick(0, 4) == 0;
            if (damage) {
                // Any changed byte of the covered part is caught by all three checksums.
                std::size_t covered = m.size() - (kind == kBinaryChecksum ? 0 : 2);
                char& c = m[pick(5, static_cast<int>(covered) - 1)];
                c = c == 'a' ? 'b' : 'a';
            }
            stream += m;
            if (!damage && isMessageHeader(bytes(m)))
                expected.push_back(m);
            else // its tail and the next header could pass as one ("E" + "R1..." reads "ER")
                stream += inertBytes(1);
        }

        Recorder r;
        TMessageSplitter s(r);
        for (std::size_t at = 0; at < stream.size();) {
            std::size_t n = std::min<std::size_t>(pick(1, 700), stream.size() - at);
            ASSERT_TRUE(s.feed(bytes(stream) + at, n));
            at += n;
        }
        ASSERT_EQ(r.messages.size(), expected.size()) << "round " << round;
        EXPECT_TRUE(r.messages == expected) << "round " << round;
        EXPECT_TRUE(r.all +
                        std::string(reinterpret_cast<const char*>(s.pendingData()), s.pending()) ==
                    stream);
        EXPECT_LE(s.pending(), 4u);
    }
}

namespace {

// The splitter as it was before its search and checks were sped up, kept to show that the
// faster one says exactly the same: same messages, same skipped reports cut the same way.
class TPlainSplitter {
public:
    explicit TPlainSplitter(TSplitterSink& sink) : sink_(sink) {}
    bool feed(const std::uint8_t* data, std::size_t count) {
        if (count > TMessageSplitter::kPendingSize - buffer_.size()) {
            buffer_.clear();
            return false;
        }
        buffer_.append(reinterpret_cast<const char*>(data), count);
        const auto* buf = reinterpret_cast<const std::uint8_t*>(buffer_.data());
        const std::size_t fill = buffer_.size();
        std::size_t pos = 0, skipFrom = 0;
        bool garbage = false;
        auto reportSkipped = [&] {
            if (pos > skipFrom)
                sink_.onSkipped(buf + skipFrom, pos - skipFrom, garbage);
            garbage = false;
        };
        for (;;) {
            while (pos < fill && (buf[pos] == '\r' || buf[pos] == '\n'))
                ++pos;
            const std::size_t searchFrom = pos;
            while (fill - pos > 4 && (buf[pos] == '$' || !isMessageHeader(buf + pos)))
                ++pos;
            if (pos != searchFrom)
                garbage = true;
            if (fill - pos < kHeaderSize)
                break;
            if (messInfoRow(static_cast<char>(buf[pos]), static_cast<char>(buf[pos + 1])) == 0) {
                ++pos;
                garbage = true;
                continue;
            }
            const std::size_t length = messageLength(buf + pos, fill - pos);
            if (fill - pos < length)
                break;
            if (checkMessage(buf + pos, length) != CheckResult::Good) {
                ++pos;
                garbage = true;
                continue;
            }
            reportSkipped();
            sink_.onMessage(buf + pos, length);
            pos += length;
            skipFrom = pos;
        }
        reportSkipped();
        buffer_.erase(0, pos);
        return true;
    }
    const std::string& pending() const { return buffer_; }

private:
    TSplitterSink& sink_;
    std::string buffer_;
};

// Every call in order, with the garbage flag.
struct EventLog : TSplitterSink {
    std::vector<std::string> events;
    void onMessage(const std::uint8_t* m, std::size_t n) override {
        events.push_back("M" + std::string(reinterpret_cast<const char*>(m), n));
    }
    void onSkipped(const std::uint8_t* b, std::size_t n, bool g) override {
        events.push_back((g ? "G" : "S") + std::string(reinterpret_cast<const char*>(b), n));
    }
};

} // namespace

// Streams of messages, damaged ones, header-like text, "$" lines, line ends and random bytes, in
// random chunks (some past the buffer's room): both splitters report the same calls.
TEST(SplitterDifferential, SameReportsAsThePlainAlgorithm) {
    std::mt19937 rng(33);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string headerish = "0123456789ABCDEFZ~|=>$\r\n";
    for (int round = 0; round < 60; ++round) {
        std::string stream;
        while (stream.size() < 40000) {
            switch (pick(0, 5)) {
            case 0: // random bytes
                for (int i = pick(1, 80); i > 0; --i)
                    stream.push_back(static_cast<char>(pick(0, 255)));
                break;
            case 1: // bytes that pass parts of the header test
                for (int i = pick(1, 40); i > 0; --i)
                    stream.push_back(headerish[pick(0, static_cast<int>(headerish.size()) - 1)]);
                break;
            default: {
                const char* id = MessInfoVXR[pick(1, kMessInfoCount - 1)].id;
                std::string body;
                for (int i = pick(0, 300); i > 0; --i)
                    body.push_back(static_cast<char>(pick(0, 255)));
                std::string m = makeMessage(id, body);
                if (pick(0, 3) == 0)
                    m[pick(0, static_cast<int>(m.size()) - 1)] ^= static_cast<char>(pick(1, 255));
                if (pick(0, 5) == 0)
                    m.resize(pick(1, static_cast<int>(m.size())));
                stream += m;
            }
            }
        }
        EventLog fast, plain;
        TMessageSplitter a(fast);
        TPlainSplitter b(plain);
        for (std::size_t at = 0; at < stream.size();) {
            const int max = round % 3 == 0 ? 9000 : round % 3 == 1 ? 64 : 4200;
            std::size_t n = std::min<std::size_t>(pick(0, max), stream.size() - at);
            ASSERT_EQ(a.feed(bytes(stream) + at, n), b.feed(bytes(stream) + at, n));
            at += n;
        }
        ASSERT_EQ(fast.events.size(), plain.events.size()) << "round " << round;
        EXPECT_TRUE(fast.events == plain.events) << "round " << round;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.pendingData()), a.pending()),
                  b.pending());
    }
}
