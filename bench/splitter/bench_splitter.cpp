// Throughput of the message splitter over a synthetic receiver stream, against a bare rotating
// checksum over the same bytes, and the heap allocations it makes while feeding.
#include "protocol/Messageformat.h"
#include "protocol/Splitter.h"
#include "tests/support/Messagemaker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

namespace {

bool counting = false;
std::size_t allocations = 0;

void* allocate(std::size_t n) {
    if (counting)
        ++allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t n) {
    return allocate(n);
}
void* operator new[](std::size_t n) {
    return allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
    return operator new(n, t);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace telvor;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kStreamSize = 64u << 20;
constexpr std::size_t kChunk = 8192;

struct Counter : TSplitterSink {
    std::size_t messages = 0, messageBytes = 0, skippedBytes = 0;
    unsigned fold = 0;
    void onMessage(const std::uint8_t* m, std::size_t n) override {
        ++messages;
        messageBytes += n;
        fold += m[n - 1];
    }
    void onSkipped(const std::uint8_t*, std::size_t n, bool) override { skippedBytes += n; }
};

// Every id of the table (so all four checksum kinds, in the table's proportions), 10..300
// bytes each: text bodies for replies and hex-checksummed ids, binary for the rest. About 1% of
// the bytes are random garbage between messages.
std::string makeStream(std::size_t& total, std::size_t& expected) {
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::string stream, body;
    std::size_t garbage = 0;
    total = expected = 0;
    stream.reserve(kStreamSize + 512);
    while (stream.size() < kStreamSize) {
        const char* id = MessInfoVXR[pick(1, kMessInfoCount - 1)].id;
        const int kind = testing::kindOf(id);
        const int length = pick(10, 300);
        body.assign(length - 5 - (kind == kNoChecksum ? 0 : kind == kBinaryChecksum ? 1 : 2), ' ');
        for (char& c : body)
            c = static_cast<char>(kind == kNoChecksum || kind == kHexChecksum ? pick(32, 126)
                                                                              : pick(0, 255));
        std::string m = testing::makeMessage(id, body);
        expected += isMessageHeader(reinterpret_cast<const std::uint8_t*>(m.data()));
        ++total;
        stream += m;
        if (garbage * 100 < stream.size()) {
            int n = pick(1, 32);
            for (int i = 0; i < n; ++i)
                stream.push_back(static_cast<char>(pick(0, 255)));
            garbage += n;
        }
    }
    return stream;
}

double mbPerSecond(std::size_t bytes, Clock::duration d) {
    return bytes / 1e6 / std::chrono::duration<double>(d).count();
}

} // namespace

int main() {
    std::size_t total = 0, expected = 0;
    const std::string stream = makeStream(total, expected);
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.data());
    const std::size_t size = stream.size();

    // Chunks of up to 8192 bytes, never more than the splitter has room for, as a reader that
    // respects space() does.
    Clock::duration best = Clock::duration::max();
    Counter sink;
    std::size_t chunks = 0;
    for (int run = 0; run < 5; ++run) {
        sink = Counter();
        TMessageSplitter splitter(sink);
        chunks = 0;
        allocations = 0;
        counting = true;
        auto start = Clock::now();
        for (std::size_t at = 0; at < size; ++chunks) {
            std::size_t n = std::min({kChunk, splitter.space(), size - at});
            splitter.feed(data + at, n);
            at += n;
        }
        auto elapsed = Clock::now() - start;
        counting = false;
        best = std::min(best, elapsed);
    }
    const double seconds = std::chrono::duration<double>(best).count();
    const double splitterMbs = mbPerSecond(size, best);

    Clock::duration bestBase = Clock::duration::max();
    unsigned fold = 0;
    for (int run = 0; run < 5; ++run) {
        auto start = Clock::now();
        for (std::size_t at = 0; at < size; at += kChunk)
            fold += rotatingChecksum(data + at, std::min(kChunk, size - at));
        bestBase = std::min(bestBase, Clock::now() - start);
    }
    const double baseMbs = mbPerSecond(size, bestBase);

    // The checksum as a byte-by-byte chain, the way it was computed before.
    Clock::duration bestChain = Clock::duration::max();
    for (int run = 0; run < 5; ++run) {
        auto start = Clock::now();
        for (std::size_t at = 0; at < size; at += kChunk) {
            std::uint8_t c = 0;
            for (std::size_t i = at, end = std::min(at + kChunk, size); i < end; ++i)
                c = static_cast<std::uint8_t>(((c << 2) | (c >> 6)) ^ data[i]);
            fold += c;
        }
        bestChain = std::min(bestChain, Clock::now() - start);
    }
    const double chainMbs = mbPerSecond(size, bestChain);

    // The same stream in fixed 8192-byte chunks: whenever a message is pending, the chunk
    // overflows the buffer and both are discarded.
    Counter fixedSink;
    TMessageSplitter fixed(fixedSink);
    std::size_t fixedChunks = 0, discarded = 0;
    for (std::size_t at = 0; at < size; at += kChunk, ++fixedChunks)
        discarded += !fixed.feed(data + at, std::min(kChunk, size - at));

    std::printf("stream: %zu bytes, %zu messages of which %zu can pass the header test\n", size,
                total, expected);
    std::printf("splitter: %.0f MB/s, %.2f M messages/s (%zu delivered, %zu bytes skipped, "
                "%zu chunks)\n",
                splitterMbs, sink.messages / seconds / 1e6, sink.messages, sink.skippedBytes,
                chunks);
    std::printf("heap allocations while feeding: %zu (%.3f per chunk)\n", allocations,
                double(allocations) / chunks);
    std::printf("baseline rotatingChecksum: %.0f MB/s; splitter / baseline = %.2f\n", baseMbs,
                splitterMbs / baseMbs);
    std::printf("baseline byte-chain checksum loop: %.0f MB/s; splitter / byte chain = %.2f\n",
                chainMbs, splitterMbs / chainMbs);
    std::printf("fixed 8192-byte chunks: %zu of %zu discarded, %zu messages delivered\n", discarded,
                fixedChunks, fixedSink.messages);
    std::printf("(fold %u %u)\n", sink.fold & 0xFF, fold & 0xFF);
    return 0;
}
