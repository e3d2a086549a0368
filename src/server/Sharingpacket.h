#pragma once
// The sharing protocol's packet: a 6-byte header ("NLG"), the message and its 32-bit
// checksum, scrambled with the password. Also the password's stored form in telvor.ini.
// Scrambling only shuffles bits: it keeps casual readers out, it is no encryption.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

using TBytes = std::vector<std::uint8_t>;

inline constexpr int kPacketHeaderSize = 6;
// Header plus checksum around the message.
inline constexpr int kPacketOverhead = kPacketHeaderSize + 4;
// The largest packet a reader accepts, and so the largest any sender may build.
inline constexpr int kMaxPacketSize = 4096;
inline constexpr int kMaxMessageSize = kMaxPacketSize - kPacketOverhead;
// The key of both ends when no password is configured.
inline constexpr const char* kDefaultSharingKey = "PRAVL";

// Sum of the message in little-endian 32-bit words (zero padded), carrying one extra when the
// top bits of sum and word agree.
std::uint32_t sharingChecksum(const std::uint8_t* data, std::size_t count);

// Reorders the bits of `data` in place, block by block of the key's length; an empty key
// leaves the data alone.
void scramble(std::uint8_t* data, std::size_t count, std::string_view key);
void unscramble(std::uint8_t* data, std::size_t count, std::string_view key);

// The whole packet; empty when the message is too long for a reader to accept.
TBytes buildPacket(const std::uint8_t* message, std::size_t count, std::string_view key);
TBytes buildPacket(std::string_view message, std::string_view key);

// Unscrambles a whole packet (header checked by the caller) and returns its message, or
// nothing when the checksum fails.
std::optional<TBytes> openPacket(const std::uint8_t* packet, std::size_t count,
                                 std::string_view key);

// Whether a good message proves that its sender knows the key: it has a code, and its
// payload (message and checksum) is not all zero or all one bits, which read the same under
// every key (an empty packet is such a one).
bool provesKey(const std::uint8_t* message, std::size_t count);

// "Password" of section "Comm": upper-case hexadecimal of a packet holding the password,
// scrambled with a key of our own. Empty stays empty; a value that does not decode gives
// nothing.
std::string encodeStoredPassword(std::string_view password);
std::optional<std::string> decodeStoredPassword(std::string_view stored);

} // namespace telvor
