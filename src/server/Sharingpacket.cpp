#include "server/Sharingpacket.h"

#include <algorithm>
#include <bit>

namespace telvor {
namespace {

// Letters and blanks; changing it makes every stored password unreadable.
constexpr std::string_view kStoredKey = "Telvor shares one receiver now";
static_assert(kStoredKey.size() == 30);

struct TPreparedKey {
    std::uint8_t bytes[kMaxPacketSize]; // only `length` of them are set
    std::size_t length = 0;
    std::size_t ones = 0;
};

void prepare(TPreparedKey& k, std::string_view key, std::size_t length) {
    k.length = length;
    k.ones = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(key[i]);
        auto m = static_cast<std::uint8_t>((b << 4) | (b >> 4));
        if (b >= 128)
            m |= 0xF0;
        k.bytes[i] = static_cast<std::uint8_t>(b ^ m);
        k.ones += static_cast<std::size_t>(std::popcount(k.bytes[i]));
    }
}

bool bitAt(const std::uint8_t* data, std::size_t bit) {
    return (data[bit / 8] >> (7 - bit % 8)) & 1;
}
void setBit(std::uint8_t* data, std::size_t bit, bool on) {
    const auto mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
    data[bit / 8] = on ? (data[bit / 8] | mask) : (data[bit / 8] & ~mask);
}

// Bit i of the block goes to position `to` of the output: key bit 1 fills from 0, key bit 0
// from the number of ones.
void shuffleBlock(std::uint8_t* block, const TPreparedKey& k, bool forward) {
    std::uint8_t copy[kMaxPacketSize];
    std::copy_n(block, k.length, copy);
    std::size_t ones = 0, zeros = k.ones;
    for (std::size_t i = 0; i < k.length * 8; ++i) {
        const std::size_t to = bitAt(k.bytes, i) ? ones++ : zeros++;
        if (forward)
            setBit(block, to, bitAt(copy, i));
        else
            setBit(block, i, bitAt(copy, to));
    }
}

void shuffle(std::uint8_t* data, std::size_t count, std::string_view key, bool forward) {
    // Longer keys than a packet cannot matter: no block is longer.
    const std::size_t length = std::min(key.size(), std::size_t(kMaxPacketSize));
    if (length == 0)
        return;
    TPreparedKey k;
    prepare(k, key, length);
    std::size_t offset = 0;
    for (; offset + length <= count; offset += length)
        shuffleBlock(data + offset, k, forward);
    if (offset < count) {
        TPreparedKey last;
        prepare(last, key, count - offset);
        shuffleBlock(data + offset, last, forward);
    }
}

void putLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

TBytes frame(const std::uint8_t* message, std::size_t count, std::string_view key,
             std::size_t limit) {
    if (count > limit)
        return {};
    TBytes packet(count + kPacketOverhead);
    putLe16(packet.data(), static_cast<std::uint32_t>(packet.size()));
    packet[2] = kPacketHeaderSize;
    packet[3] = 'N';
    packet[4] = 'L';
    packet[5] = 'G';
    std::copy_n(message, count, packet.begin() + kPacketHeaderSize);
    const std::uint32_t sum = sharingChecksum(message, count);
    for (int i = 0; i < 4; ++i)
        packet[kPacketHeaderSize + count + i] = static_cast<std::uint8_t>(sum >> (8 * i));
    scramble(packet.data() + kPacketHeaderSize, count + 4, key);
    return packet;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::uint32_t sharingChecksum(const std::uint8_t* data, std::size_t count) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; i += 4) {
        std::uint32_t w = 0;
        for (std::size_t b = 0; b < 4 && i + b < count; ++b)
            w |= std::uint32_t(data[i + b]) << (8 * b);
        sum += w + ((sum >> 31) == (w >> 31) ? 1u : 0u);
    }
    return sum;
}

void scramble(std::uint8_t* data, std::size_t count, std::string_view key) {
    shuffle(data, count, key, true);
}

void unscramble(std::uint8_t* data, std::size_t count, std::string_view key) {
    shuffle(data, count, key, false);
}

TBytes buildPacket(const std::uint8_t* message, std::size_t count, std::string_view key) {
    return frame(message, count, key, kMaxMessageSize);
}

TBytes buildPacket(std::string_view message, std::string_view key) {
    return buildPacket(reinterpret_cast<const std::uint8_t*>(message.data()), message.size(), key);
}

std::optional<TBytes> openPacket(const std::uint8_t* packet, std::size_t count,
                                 std::string_view key) {
    if (count < std::size_t(kPacketOverhead))
        return std::nullopt;
    TBytes payload(packet + kPacketHeaderSize, packet + count);
    unscramble(payload.data(), payload.size(), key);
    const std::size_t n = payload.size() - 4;
    std::uint32_t sum = 0;
    for (int i = 0; i < 4; ++i)
        sum |= std::uint32_t(payload[n + i]) << (8 * i);
    if (sum != sharingChecksum(payload.data(), n))
        return std::nullopt;
    payload.resize(n);
    return payload;
}

std::string encodeStoredPassword(std::string_view password) {
    if (password.empty())
        return {};
    // Not on the wire, so only the stored form's own limit applies.
    const TBytes packet = frame(reinterpret_cast<const std::uint8_t*>(password.data()),
                                password.size(), kStoredKey, 4096);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : packet) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::optional<std::string> decodeStoredPassword(std::string_view stored) {
    if (stored.empty())
        return std::string();
    if (stored.size() % 2 != 0 || stored.size() / 2 > 4096 + kPacketOverhead)
        return std::nullopt;
    TBytes packet;
    for (std::size_t i = 0; i < stored.size(); i += 2) {
        const int hi = hexValue(stored[i]), lo = hexValue(stored[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        packet.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    if (packet.size() < std::size_t(kPacketOverhead) ||
        (packet[0] | packet[1] << 8) != int(packet.size()) || packet[2] != kPacketHeaderSize ||
        packet[3] != 'N' || packet[4] != 'L' || packet[5] != 'G')
        return std::nullopt;
    auto message = openPacket(packet.data(), packet.size(), kStoredKey);
    if (!message)
        return std::nullopt;
    return std::string(message->begin(), message->end());
}

} // namespace telvor
