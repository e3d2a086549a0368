// The splitter against a plain rendering of its rules, on chunk sizes taken from the input.
// Every byte fed must come out once and in order (message, skipped or still pending) unless the
// overflow rule discarded it, and every message must be whole and checked.
#include "protocol/Messageformat.h"
#include "protocol/Rawframe.h"
#include "protocol/Splitter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace telvor;

namespace {

// The checking code walks every byte several times; tracing its comparisons would cost more
// than the splitter itself and only guide the fuzzer through the checks.
#define UNTRACED __attribute__((no_sanitize("coverage"), noinline))

// Enough for the overflow rule to fire twice per input; more only slows every run down.
constexpr std::size_t kFedBudget = 3 * TMessageSplitter::kPendingSize;
constexpr int kMaxChunks = 48;
// Every byte may start a damaged message that is checked in full before the splitter moves on
// by one byte, so header-like input costs length x size: keep the literal part short.
constexpr std::size_t kMaxInput = 1024;

#define REQUIRE(cond)                                                                              \
    do {                                                                                           \
        if (!(cond))                                                                               \
            std::abort();                                                                          \
    } while (0)

// Only a quick way past bytes that cannot end a header; the shared test still decides.
[[gnu::always_inline]] inline bool lengthDigit(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Messages and skipped runs in order; adjacent skipped runs are merged because the two sides
// may cut them differently.
struct Events {
    std::vector<std::pair<bool, std::string>> list; // (is message, bytes)
    UNTRACED void message(const std::uint8_t* m, std::size_t n) {
        list.emplace_back(true, std::string(reinterpret_cast<const char*>(m), n));
    }
    UNTRACED void skipped(const std::uint8_t* b, std::size_t n) {
        if (list.empty() || list.back().first)
            list.emplace_back(false, std::string());
        list.back().second.append(reinterpret_cast<const char*>(b), n);
    }
};

// The rules step by step, with the shared header test, length and check.
struct Reference {
    std::string pending;
    Events events;

    UNTRACED bool feed(const std::uint8_t* d, std::size_t n) {
        if (pending.size() + n > TMessageSplitter::kPendingSize) {
            pending.clear();
            return false;
        }
        pending.append(reinterpret_cast<const char*>(d), n);
        auto p = reinterpret_cast<const std::uint8_t*>(pending.data());
        const std::size_t size = pending.size();
        std::size_t at = 0;
        for (;;) {
            std::size_t i = at;
            while (i < size && (p[i] == '\r' || p[i] == '\n'))
                ++i;
            // A "$" line can never be delivered, so it is passed over at once.
            while (size - i > 4 &&
                   (p[i] == '$' || !lengthDigit(p[i + 4]) || !isMessageHeader(p + i)))
                ++i;
            if (i > at)
                events.skipped(p + at, i - at);
            at = i;
            if (size - at < kHeaderSize)
                break;
            // An id outside the table never checks good: it goes at once, not after its length.
            if (messInfoRow(static_cast<char>(p[at]), static_cast<char>(p[at + 1])) == 0) {
                events.skipped(p + at, 1);
                ++at;
                continue;
            }
            std::size_t length = messageLength(p + at, size - at);
            if (size - at < length)
                break;
            if (checkMessage(p + at, length) != CheckResult::Good) {
                events.skipped(p + at, 1);
                ++at;
                continue;
            }
            events.message(p + at, length);
            at += length;
        }
        pending.erase(0, at);
        return true;
    }
};

struct Checker : TSplitterSink {
    std::string window; // bytes not yet accounted for: the pending bytes, then the chunk
    std::size_t cursor = 0;
    Events events;
    // The input thread's damage count rides along: never more than the skipped bytes that
    // are not line ends.
    TDamageCounter damage;
    std::uint64_t damaged = 0, notLineEnds = 0;

    UNTRACED void take(const std::uint8_t* b, std::size_t n) {
        REQUIRE(n > 0 && cursor + n <= window.size());
        REQUIRE(std::memcmp(window.data() + cursor, b, n) == 0);
        cursor += n;
    }
    UNTRACED void onMessage(const std::uint8_t* m, std::size_t n) override {
        REQUIRE(n >= kHeaderSize && n <= kMaxMessageSize);
        REQUIRE(m[0] != '$' && isMessageHeader(m));
        REQUIRE(messageLength(m, n) == n);
        REQUIRE(checkMessage(m, n) == CheckResult::Good);
        take(m, n);
        events.message(m, n);
        damaged += damage.interrupted();
    }
    UNTRACED void onSkipped(const std::uint8_t* b, std::size_t n, bool garbage) override {
        take(b, n);
        bool onlyLineEnds = true;
        for (std::size_t i = 0; i < n; ++i)
            onlyLineEnds = onlyLineEnds && (b[i] == '\r' || b[i] == '\n');
        REQUIRE(garbage == !onlyLineEnds);
        events.skipped(b, n);
        for (std::size_t i = 0; i < n; ++i)
            notLineEnds += b[i] != '\r' && b[i] != '\n';
        damaged += damage.skipped(b, n);
        REQUIRE(damaged <= notLineEnds);
    }
};

// Every fifth byte a "#": the filler never forms a header itself, which would make every run
// quadratic; it fills message bodies and the buffer.
UNTRACED void fill(std::uint8_t* out, std::size_t n, std::uint8_t b) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = i % 5 == 4 ? '#' : b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::uint8_t filler[64 * 130];
    Checker checker;
    TMessageSplitter splitter(checker);
    Reference reference;

    // Each chunk starts with a control byte: its low six bits and bit 6 give the size (up to
    // 8320, past the buffer); bit 7 fills it from the next byte instead of copying the input,
    // so short inputs can still fill the buffer.
    std::size_t fed = 0;
    size = std::min(size, kMaxInput);
    for (int chunks = 0; size > 0 && chunks < kMaxChunks && fed < kFedBudget; ++chunks) {
        const std::uint8_t control = *data++;
        --size;
        std::size_t n = 1 + (control & 0x3F);
        if (control & 0x40)
            n *= 130;
        const std::uint8_t* chunk = data;
        if (control & 0x80) {
            fill(filler, n, size > 0 ? *data : 'x');
            chunk = filler;
            data += size > 0;
            size -= size > 0;
        } else {
            n = std::min(n, size);
            data += n;
            size -= n;
        }
        fed += n;

        const std::size_t before = splitter.pending();
        const bool fits = n <= TMessageSplitter::kPendingSize - before;
        REQUIRE(splitter.space() == TMessageSplitter::kPendingSize - before);
        checker.window.erase(0, checker.cursor);
        checker.cursor = 0;
        REQUIRE(checker.window.size() == before);
        if (fits)
            checker.window.append(reinterpret_cast<const char*>(chunk), n);
        else
            checker.window.clear();

        REQUIRE(splitter.feed(chunk, n) == fits);
        REQUIRE(reference.feed(chunk, n) == fits);
        REQUIRE(splitter.pending() == checker.window.size() - checker.cursor);
        REQUIRE(std::memcmp(splitter.pendingData(), checker.window.data() + checker.cursor,
                            splitter.pending()) == 0);
        REQUIRE(reference.pending.size() == splitter.pending());
    }
    REQUIRE(checker.events.list == reference.events.list);
    REQUIRE(checker.damaged + checker.damage.interrupted() <= checker.notLineEnds);
    return 0;
}
