#include "protocol/Rawframe.h"

#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"

#include <algorithm>
#include <cstring>

namespace telvor {

namespace {

constexpr std::size_t kRawHeader = 5; // "rM" and three hex digits of the body length

std::uint64_t notLineEnds(const std::uint8_t* b, std::size_t n) {
    return static_cast<std::uint64_t>(
        std::count_if(b, b + n, [](std::uint8_t c) { return c != '\r' && c != '\n'; }));
}

} // namespace

std::size_t rawFrameAt(const std::uint8_t* p, std::size_t n) noexcept {
    if (n == 0 || p[0] != 'r')
        return 0;
    if (n < 2)
        return kRawFrameIncomplete;
    if (p[1] != 'M')
        return 0;
    if (n < kRawHeader)
        return kRawFrameIncomplete;
    std::size_t body = 0;
    for (int i = 2; i < 5; ++i) {
        const int d = hexDigitValue(static_cast<char>(p[i]));
        if (d < 0)
            return 0;
        body = body * 16 + static_cast<std::size_t>(d);
    }
    if (body < 2)
        return 0;
    const std::size_t length = kRawHeader + body;
    if (n < length)
        return kRawFrameIncomplete;
    const unsigned stored = p[length - 2] | (unsigned(p[length - 1]) << 8);
    return crc16(0, p, length - 2) == stored ? length : 0;
}

std::uint64_t TDamageCounter::skipped(const std::uint8_t* bytes, std::size_t count) {
    const std::uint8_t* p = bytes;
    std::size_t n = count;
    if (!held_.empty()) {
        held_.insert(held_.end(), bytes, bytes + count);
        p = held_.data();
        n = held_.size();
    }
    std::uint64_t damaged = 0;
    std::size_t at = 0, plain = 0; // plain: the first byte not yet counted
    while (at < n) {
        const void* r = std::memchr(p + at, 'r', n - at);
        if (r == nullptr) {
            at = n;
            break;
        }
        at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(r) - p);
        const std::size_t frame = rawFrameAt(p + at, n - at);
        if (frame == kRawFrameIncomplete)
            break;
        if (frame == 0) {
            ++at;
            continue;
        }
        damaged += notLineEnds(p + plain, at - plain);
        at += frame;
        plain = at;
    }
    damaged += notLineEnds(p + plain, at - plain);
    if (p == held_.data())
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(at));
    else
        held_.assign(p + at, p + n);
    return damaged;
}

std::uint64_t TDamageCounter::interrupted() {
    const std::uint64_t damaged = notLineEnds(held_.data(), held_.size());
    held_.clear();
    return damaged;
}

} // namespace telvor
