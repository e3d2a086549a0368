#include "sim/Rtcm3.h"

#include <algorithm>
#include <cmath>

namespace telvorsim {
namespace {

constexpr double kSpeedOfLight = 299792458.0;
constexpr double kL1 = 1575.42e6, kL2 = 1227.60e6;
constexpr double kPrModulus = 299792.458; // m, one light millisecond

class TBits {
public:
    void put(std::int64_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (count_ % 8 == 0)
                bytes_.push_back(0);
            if ((static_cast<std::uint64_t>(value) >> i) & 1)
                bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (count_ % 8));
            ++count_;
        }
    }
    std::vector<std::uint8_t> bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
};

// The lock-time indicator of 1004 for a lock of `ms`.
int lockIndicator(std::uint32_t ms) {
    const std::uint32_t s = ms / 1000;
    if (s < 24)
        return static_cast<int>(s);
    if (s < 72)
        return static_cast<int>((s + 24) / 2);
    if (s < 168)
        return static_cast<int>((s + 120) / 4);
    if (s < 360)
        return static_cast<int>((s + 408) / 8);
    if (s < 744)
        return static_cast<int>((s + 1176) / 16);
    if (s < 937)
        return static_cast<int>((s + 3096) / 32);
    return 127;
}

std::int64_t clampSigned(double v, int bits) {
    const double limit = std::ldexp(1.0, bits - 1) - 1;
    return static_cast<std::int64_t>(std::llround(std::clamp(v, -limit, limit)));
}

} // namespace

std::uint32_t crc24q(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint32_t>(bytes[i]) << 16;
        for (int b = 0; b < 8; ++b) {
            crc <<= 1;
            if (crc & 0x1000000)
                crc ^= 0x1864CFB;
        }
    }
    return crc & 0xFFFFFF;
}

std::vector<std::uint8_t> rtcm3Frame(const std::vector<std::uint8_t>& message) {
    std::vector<std::uint8_t> f(message.size() + 6);
    f[0] = 0xD3;
    f[1] = static_cast<std::uint8_t>((message.size() >> 8) & 3);
    f[2] = static_cast<std::uint8_t>(message.size());
    std::copy(message.begin(), message.end(), f.begin() + 3);
    const std::uint32_t crc = crc24q(f.data(), message.size() + 3);
    f[message.size() + 3] = static_cast<std::uint8_t>(crc >> 16);
    f[message.size() + 4] = static_cast<std::uint8_t>(crc >> 8);
    f[message.size() + 5] = static_cast<std::uint8_t>(crc);
    return f;
}

std::vector<std::uint8_t> rtcm3Station(int stationId, const TVec& antenna) {
    TBits b;
    b.put(1005, 12);
    b.put(stationId, 12);
    b.put(0, 6); // ITRF realisation year
    b.put(1, 1); // GPS
    b.put(1, 1); // GLONASS
    b.put(0, 1); // Galileo
    b.put(0, 1); // a real station
    b.put(clampSigned(antenna.x * 1e4, 38), 38);
    b.put(0, 1); // single receiver oscillator
    b.put(0, 1);
    b.put(clampSigned(antenna.y * 1e4, 38), 38);
    b.put(0, 2); // quarter cycle indicator
    b.put(clampSigned(antenna.z * 1e4, 38), 38);
    return rtcm3Frame(b.bytes());
}

std::vector<std::uint8_t> rtcm3GpsObservations(int stationId, const TEpoch& epoch) {
    std::vector<const TSat*> sats;
    for (const TSat& s : epoch.sats)
        if (s.system == TSystem::Gps && s.raw && s.number <= 32 && sats.size() < 31)
            sats.push_back(&s);
    TBits b;
    b.put(1004, 12);
    b.put(stationId, 12);
    b.put(epoch.gpsMs % (7 * 86400000LL), 30);
    b.put(0, 1); // no more messages of this epoch
    b.put(static_cast<std::int64_t>(sats.size()), 5);
    b.put(0, 1);
    b.put(0, 3);
    for (const TSat* s : sats) {
        const double pr1 = s->l1.pseudorange;
        const double ambiguity = std::floor(pr1 / kPrModulus);
        const double rest = pr1 - ambiguity * kPrModulus;
        b.put(s->number % 32 == 0 ? 0 : s->number, 6);
        b.put(0, 1); // C/A
        b.put(std::llround(rest / 0.02), 24);
        b.put(clampSigned((s->l1.phase * kSpeedOfLight / kL1 - pr1) / 0.0005, 20), 20);
        b.put(lockIndicator(s->l1.lockMs), 7);
        b.put(static_cast<std::int64_t>(ambiguity), 8);
        b.put(std::clamp<std::int64_t>(std::llround(s->l1.cn0 * 4), 0, 255), 8);
        b.put(3, 2); // P(Y) direct
        b.put(clampSigned((s->l2.pseudorange - pr1) / 0.02, 14), 14);
        b.put(clampSigned((s->l2.phase * kSpeedOfLight / kL2 - pr1) / 0.0005, 20), 20);
        b.put(lockIndicator(s->l2.lockMs), 7);
        b.put(std::clamp<std::int64_t>(std::llround(s->l2.cn0 * 4), 0, 255), 8);
    }
    return rtcm3Frame(b.bytes());
}

void TRtcm3Counter::feed(const std::uint8_t* bytes, std::size_t count) {
    pending_.insert(pending_.end(), bytes, bytes + count);
    std::size_t at = 0;
    for (;;) {
        while (at < pending_.size() && pending_[at] != 0xD3)
            ++at;
        if (pending_.size() - at < 2)
            break;
        if (pending_[at + 1] & 0xFC) { // reserved bits set: no frame starts here
            ++errors_;
            ++at;
            continue;
        }
        if (pending_.size() - at < 3)
            break;
        const std::size_t length = (pending_[at + 1] & 3u) << 8 | pending_[at + 2];
        if (pending_.size() - at < length + 6)
            break;
        const std::uint8_t* f = pending_.data() + at;
        const std::uint32_t crc = static_cast<std::uint32_t>(f[length + 3]) << 16 |
                                  static_cast<std::uint32_t>(f[length + 4]) << 8 | f[length + 5];
        if (crc24q(f, length + 3) == crc) {
            ++frames_;
            at += length + 6;
        } else {
            ++errors_;
            ++at; // a false start: look for the next preamble
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace telvorsim
