#include "protocol/Splitter.h"

#include "protocol/Messageformat.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first position from `pos` on that passes the header test, or fill - 4 (or `pos`, when
// less is left) when none does.
inline std::size_t findHeaderScalar(const std::uint8_t* buf, std::size_t pos, std::size_t fill) {
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
    return pos;
}

#if defined(__SSE2__)
// Bytes in lo..hi, as all ones.
inline __m128i inRange(__m128i v, char lo, char hi) {
    const __m128i x = _mm_sub_epi8(v, _mm_set1_epi8(lo));
    return _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(static_cast<char>(hi - lo))), x);
}
inline __m128i idBytes(__m128i v) {
    return _mm_or_si128(inRange(v, '0', '9'), inRange(v, 'A', 'Z'));
}
inline __m128i digitBytes(__m128i v) {
    return _mm_or_si128(inRange(v, '0', '9'), inRange(v, 'A', 'F'));
}
inline __m128i load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Sixteen header tests at once: garbage (a message the splitter cannot take, a damaged run)
// is passed over without a branch per byte.
inline std::size_t findHeader(const std::uint8_t* buf, std::size_t pos, std::size_t fill) {
    while (fill - pos >= 20) {
        const std::uint8_t* p = buf + pos;
        const __m128i a = load(p), b = load(p + 1);
        const __m128i pair =
            _mm_and_si128(_mm_cmpeq_epi8(a, b),
                          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('~')),
                                                    _mm_cmpeq_epi8(a, _mm_set1_epi8('|'))),
                                       _mm_or_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('=')),
                                                    _mm_cmpeq_epi8(a, _mm_set1_epi8('>')))));
        const __m128i id = _mm_or_si128(_mm_and_si128(idBytes(a), idBytes(b)), pair);
        const __m128i digits =
            _mm_and_si128(_mm_and_si128(digitBytes(load(p + 2)), digitBytes(load(p + 3))),
                          digitBytes(load(p + 4)));
        const int mask = _mm_movemask_epi8(_mm_and_si128(id, digits));
        if (mask != 0)
            return pos + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        pos += 16;
    }
    return findHeaderScalar(buf, pos, fill);
}
#else
inline std::size_t findHeader(const std::uint8_t* buf, std::size_t pos, std::size_t fill) {
    return findHeaderScalar(buf, pos, fill);
}
#endif

// Checksum kinds of the ids that can pass the header test, looked up by two small codes
// instead of the table's index, so that the common kinds are checked here without a call.
constexpr int kIdCodes = 40;
constexpr std::uint8_t kNoCode = 0xFF, kUnknownKind = 0xFF;

constexpr std::array<std::uint8_t, 256> makeIdCodes() {
    std::array<std::uint8_t, 256> c{};
    c.fill(kNoCode);
    for (int b = '0'; b <= '9'; ++b)
        c[b] = static_cast<std::uint8_t>(b - '0');
    for (int b = 'A'; b <= 'Z'; ++b)
        c[b] = static_cast<std::uint8_t>(b - 'A' + 10);
    std::uint8_t next = 36;
    for (char b : {'~', '|', '=', '>'})
        c[static_cast<unsigned char>(b)] = next++;
    return c;
}
constexpr auto kIdCode = makeIdCodes();

using TIdKinds = std::array<std::uint8_t, kIdCodes * kIdCodes>;

const TIdKinds& idKinds() {
    static const TIdKinds kinds = [] {
        TIdKinds k;
        k.fill(kUnknownKind);
        // Later rows win, as in the table's own index.
        for (int row = 1; row < kMessInfoCount; ++row) {
            const char* id = MessInfoVXR[row].id;
            auto a = kIdCode[static_cast<unsigned char>(id[0])];
            auto b = kIdCode[static_cast<unsigned char>(id[1])];
            if (a != kNoCode && b != kNoCode)
                k[a * kIdCodes + b] = MessInfoVXR[row].kind;
        }
        return k;
    }();
    return kinds;
}

inline int hexValue(std::uint8_t c) {
    return hexDigitValue(static_cast<char>(c));
}

// The same verdict as checkMessage for a message at a passed header.
inline bool messageGood(const std::uint8_t* kinds, const std::uint8_t* m, std::size_t length) {
    switch (kinds[kIdCode[m[0]] * kIdCodes + kIdCode[m[1]]]) {
    case kNoChecksum:
        return true;
    case kBinaryChecksum:
        return length > kHeaderSize && rotatingChecksum(m, length) == 0;
    case kHexChecksum: {
        if (length < kHeaderSize + 2)
            return false;
        int hi = hexValue(m[length - 2]), lo = hexValue(m[length - 1]);
        return hi >= 0 && lo >= 0 && rotatingChecksum(m, length - 2) == hi * 16 + lo;
    }
    default: // CRC-checked or unknown
        return checkMessage(m, length) == CheckResult::Good;
    }
}

} // namespace

TMessageSplitter::TMessageSplitter(TSplitterSink& sink, const std::atomic<bool>* stop)
    : sink_(sink), stop_(stop), kinds_(idKinds().data()) {}

bool TMessageSplitter::feed(const std::uint8_t* data, std::size_t count) {
    if (count > space()) {
        fill_ = 0;
        return false;
    }
    if (fill_ == 0 && count > 0) {
        // Nothing pending: split the chunk where it is and keep only its unfinished tail.
        const std::size_t used = split(data, count);
        if (used < count)
            std::memcpy(buffer_, data + used, count - used);
        fill_ = count - used;
        return true;
    }
    if (count > 0)
        std::memcpy(buffer_ + fill_, data, count);
    fill_ += count;
    const std::size_t used = split(buffer_, fill_);
    if (used > 0) {
        std::memmove(buffer_, buffer_ + used, fill_ - used);
        fill_ -= used;
    }
    return true;
}

std::size_t TMessageSplitter::split(const std::uint8_t* const buf, const std::size_t fill) {
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
        pos = findHeader(buf, pos, fill);
        if (pos != searchFrom)
            garbage = true;
        if (fill - pos < kHeaderSize)
            break;
        // An id outside the table never checks good, so waiting for its length would only
        // hold back what follows: in binary data a false header can claim up to 4 KB, and
        // the replies after it would wait until that much more arrives.
        if (kinds_[kIdCode[buf[pos]] * kIdCodes + kIdCode[buf[pos + 1]]] == kUnknownKind) {
            ++pos;
            garbage = true;
            continue;
        }
        const std::size_t length = lengthAt(buf + pos);
        if (fill - pos < length)
            break;
        if (!messageGood(kinds_, buf + pos, length)) {
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
    return pos;
}

} // namespace telvor
