#include "protocol/Splitter.h"

#include "protocol/Messageformat.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace telvor {
namespace {

// Byte classes of the header test, looked up once per byte while searching.
enum : std::uint8_t { kId = 1, kDigit = 2, kPair = 4, kStart = kId | kPair };

constexpr std::array<std::uint8_t, 256> makeClasses() {
    std::array<std::uint8_t, 256> c{};
    for (int b = '0'; b <= '9'; ++b)
        c[b] = kId | kDigit;
    for (int b = 'A'; b <= 'Z'; ++b)
        c[b] = kId | (b <= 'F' ? kDigit : 0);
    for (char b : {'~', '|', '=', '>'})
        c[static_cast<unsigned char>(b)] = kPair;
    return c;
}
constexpr auto kClass = makeClasses();

// The header test without its "$" branch: a "$" line's id is never in the table, so it could
// only ever be dropped byte by byte once its line end arrives. Skipping it at once gives the
// same messages and skipped bytes, without a stray "$" holding back everything after it until
// a line end comes or the pending buffer overflows.
inline bool headerAt(const std::uint8_t* p) {
    unsigned a = kClass[p[0]], b = kClass[p[1]];
    bool id = (a & b & kId) || (p[0] == p[1] && (a & kPair));
    return id && (kClass[p[2]] & kClass[p[3]] & kClass[p[4]] & kDigit);
}

inline unsigned hexDigit(std::uint8_t c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

inline std::size_t lengthAt(const std::uint8_t* p) {
    return (hexDigit(p[2]) << 8 | hexDigit(p[3]) << 4 | hexDigit(p[4])) + kHeaderSize;
}

inline bool isLineEnd(std::uint8_t c) {
    return c == '\r' || c == '\n';
}

} // namespace

TMessageSplitter::TMessageSplitter(TSplitterSink& sink, const std::atomic<bool>* stop)
    : sink_(sink), stop_(stop) {}

bool TMessageSplitter::feed(const std::uint8_t* data, std::size_t count) {
    if (count > space()) {
        fill_ = 0;
        return false;
    }
    if (count > 0)
        std::memcpy(buffer_ + fill_, data, count);
    fill_ += count;
    split();
    return true;
}

void TMessageSplitter::split() {
    std::uint8_t* const buf = buffer_;
    const std::size_t fill = fill_;
    std::size_t pos = 0;
    // Skipped bytes are contiguous between two messages, so they go out as one report.
    std::size_t skipFrom = 0;
    bool garbage = false;
    auto reportSkipped = [&] {
        if (pos > skipFrom)
            sink_.onSkipped(buf + skipFrom, pos - skipFrom, garbage);
        garbage = false;
    };

    while (!(stop_ && stop_->load(std::memory_order_relaxed))) {
        while (pos < fill && isLineEnd(buf[pos]))
            ++pos;
        const std::size_t searchFrom = pos;
        while (fill - pos > 4) {
            // A byte that can be neither an id nor a length digit rules out the five headers
            // that would contain it.
            if (!(kClass[buf[pos + 4]] & kStart)) {
                pos = std::min(pos + 5, fill - 4);
                continue;
            }
            if (headerAt(buf + pos))
                break;
            ++pos;
        }
        if (pos != searchFrom)
            garbage = true;
        if (fill - pos < kHeaderSize)
            break;
        // An id outside the table never checks good, so waiting for its length would only
        // hold back what follows: in binary data a false header can claim up to 4 KB, and
        // the replies after it would wait until that much more arrives.
        if (messInfoRow(static_cast<char>(buf[pos]), static_cast<char>(buf[pos + 1])) == 0) {
            ++pos;
            garbage = true;
            continue;
        }
        const std::size_t length = lengthAt(buf + pos);
        if (fill - pos < length)
            break;
        if (checkMessage(buf + pos, length) != CheckResult::Good) {
            // Only the first byte goes: a good message may start inside a damaged one.
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

    if (pos > 0) {
        std::memmove(buf, buf + pos, fill - pos);
        fill_ = fill - pos;
    }
}

} // namespace telvor
