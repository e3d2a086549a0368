#include "protocol/Messageformat.h"

#include "protocol/Crc16.h"

#include <array>
#include <bit>
#include <cstring>

namespace telvor {
namespace {

constexpr int kIndexSlots = 6242;

constexpr int slotOf(unsigned char first, unsigned char second) {
    return second + 79 * first - 3840;
}

// Direct index from id characters to table row. The 79-wide stride keeps every id made of
// "0".."~" collision-free.
struct MessIndex {
    std::array<std::uint8_t, kIndexSlots> rows{};
    MessIndex() {
        for (int row = 1; row < kMessInfoCount; ++row) {
            auto& id = MessInfoVXR[row].id;
            int slot = slotOf(static_cast<unsigned char>(id[0]), static_cast<unsigned char>(id[1]));
            if (slot >= 0 && slot < kIndexSlots)
                rows[slot] = static_cast<std::uint8_t>(row);
        }
    }
};

const MessIndex& messIndex() {
    static const MessIndex index;
    return index;
}

inline bool isIdChar(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
inline bool isLengthDigit(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int messInfoRow(char first, char second) noexcept {
    int slot = slotOf(static_cast<unsigned char>(first), static_cast<unsigned char>(second));
    if (slot < 0 || slot >= kIndexSlots)
        return 0;
    return messIndex().rows[slot];
}

// Unrolled, the checksum is the XOR of every byte i rotated left by 2 x (count - i) bits, and
// a rotation by 8 is none: bytes four apart are rotated alike. So the bytes are XORed a word at
// a time, without the byte-by-byte chain, and the four lanes rotated once at the end.
std::uint8_t rotatingChecksum(const void* data, std::size_t count) noexcept {
    auto bytes = static_cast<const std::uint8_t*>(data);
    std::uint64_t a = 0, b = 0, c = 0, d = 0, w[4];
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        std::memcpy(w, bytes + i, 32);
        a ^= w[0];
        b ^= w[1];
        c ^= w[2];
        d ^= w[3];
    }
    for (; i + 8 <= count; i += 8) {
        std::memcpy(w, bytes + i, 8);
        a ^= w[0];
    }
    // The last bytes keep their lanes: i is a multiple of 8.
    std::uint64_t tail = 0;
    for (unsigned k = 0; i + k < count; ++k)
        tail |= std::uint64_t{bytes[i + k]} << (8 * k);
    std::uint64_t x = a ^ b ^ c ^ d ^ tail;
    x ^= x >> 32;
    static_assert(std::endian::native == std::endian::little, "lanes are read little-endian");
    // Lane k of the little-endian word holds the bytes with i % 4 == k.
    std::uint8_t sum = 0;
    for (unsigned k = 0; k < 4; ++k) {
        auto lane = static_cast<std::uint8_t>(x >> (8 * k));
        unsigned turn = 2 * ((count - k) & 3);
        sum ^= static_cast<std::uint8_t>((lane << turn) | (lane >> ((8 - turn) & 7)));
    }
    return sum;
}

bool isMessageHeader(const std::uint8_t* p) noexcept {
    if (p[0] == '$')
        return true;
    bool idOk = (isIdChar(p[0]) && isIdChar(p[1])) ||
                (p[0] == p[1] && (p[0] == '~' || p[0] == '|' || p[0] == '=' || p[0] == '>'));
    return idOk && isLengthDigit(p[2]) && isLengthDigit(p[3]) && isLengthDigit(p[4]);
}

std::size_t messageLength(const std::uint8_t* p, std::size_t available) noexcept {
    if (p[0] == '$') {
        for (std::size_t i = 0; i < available; ++i)
            if (p[i] == '\r' || p[i] == '\n')
                return i;
        return available + 1;
    }
    return static_cast<std::size_t>(hexDigitValue(p[2]) * 256 + hexDigitValue(p[3]) * 16 +
                                    hexDigitValue(p[4])) +
           kHeaderSize;
}

CheckResult checkMessage(const std::uint8_t* m, std::size_t length) noexcept {
    if (length < 2)
        return CheckResult::UnknownId;
    int row = messInfoRow(static_cast<char>(m[0]), static_cast<char>(m[1]));
    if (row == 0)
        return CheckResult::UnknownId;
    switch (MessInfoVXR[row].kind) {
    case kNoChecksum:
        return CheckResult::Good;
    case kBinaryChecksum:
        // A body without its checksum byte cannot be right.
        if (length < kHeaderSize + 1)
            return CheckResult::BadChecksum;
        return rotatingChecksum(m, length) == 0 ? CheckResult::Good : CheckResult::BadChecksum;
    case kHexChecksum: {
        if (length < kHeaderSize + 2)
            return CheckResult::BadChecksum;
        int hi = hexDigitValue(m[length - 2]), lo = hexDigitValue(m[length - 1]);
        if (hi < 0 || lo < 0)
            return CheckResult::BadChecksum;
        return rotatingChecksum(m, length - 2) == hi * 16 + lo ? CheckResult::Good
                                                               : CheckResult::BadChecksum;
    }
    case kCrcChecksum: {
        if (length < kHeaderSize + 2)
            return CheckResult::BadChecksum;
        std::uint16_t stored = static_cast<std::uint16_t>(m[length - 2] | (m[length - 1] << 8));
        return crc16(0, m, length - 2) == stored ? CheckResult::Good : CheckResult::BadChecksum;
    }
    }
    return CheckResult::UnknownId;
}

bool commandNeedsChecksum(std::string_view line) noexcept {
    return line.find_first_of("\n@;#") == std::string_view::npos &&
           line.find("||") == std::string_view::npos && line.find("&&") == std::string_view::npos;
}

std::string formatCommandLine(std::string_view line) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(line.size() + 5);
    out.append(line);
    if (commandNeedsChecksum(line)) {
        out.push_back('@');
        std::uint8_t c = rotatingChecksum(out.data(), out.size());
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
    }
    out.append("\r\n");
    return out;
}

std::string formatCommand(std::string_view id, std::string_view command) {
    std::string line;
    line.reserve(id.size() + command.size() + 2);
    line.push_back('%');
    line.append(id);
    line.push_back('%');
    line.append(command);
    return formatCommandLine(line);
}

} // namespace telvor
