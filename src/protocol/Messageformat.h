#pragma once
// Framing of the receiver's byte stream: header test, message length, checksum kinds and the
// message-information table; and the command-line formatting in the other direction.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telvor {

constexpr std::size_t kHeaderSize = 5;        // two id characters and three length digits
constexpr std::size_t kMaxMessageSize = 4100; // body length FFF hex + header

enum ChecksumKind : std::uint8_t {
    kNoChecksum = 0,
    kBinaryChecksum = 1, // last body byte: rotating checksum, whole message folds to 0
    kHexChecksum = 2,    // last two body bytes: rotating checksum as hexadecimal digits
    kCrcChecksum = 3,    // last two body bytes: CRC-16, low byte first
};

struct TMessInfo {
    char id[4];
    std::uint8_t kind;
    const char* description;
};

constexpr int kMessInfoCount = 116;
extern const TMessInfo MessInfoVXR[kMessInfoCount];

// Row of `MessInfoVXR` for a two-character id; 0 (the placeholder row) when unknown.
int messInfoRow(char first, char second) noexcept;

// Value of one hexadecimal digit of either case, or -1.
int hexDigitValue(char c) noexcept;

// 8-bit rotating checksum: c = rotl2(c) ^ b for each byte, then one final rotl2.
std::uint8_t rotatingChecksum(const void* data, std::size_t count) noexcept;

// True when the five bytes at `p` (one for a "$" line) can start a message.
bool isMessageHeader(const std::uint8_t* p) noexcept;

// Total length of the message at a header position given `available` bytes from it. A "$"
// line without its terminator yet gives available + 1 (not complete).
std::size_t messageLength(const std::uint8_t* p, std::size_t available) noexcept;

enum class CheckResult { Good = 0, BadChecksum = 1, UnknownId = 2 };

// Checks a whole message of `length` bytes against the kind its id carries in `MessInfoVXR`.
CheckResult checkMessage(const std::uint8_t* message, std::size_t length) noexcept;

// Convenience views over a whole message.
inline std::string_view messageId(const std::uint8_t* m) {
    return {reinterpret_cast<const char*>(m), 2};
}

// Whether a command line gets the "@XX" suffix: not when it holds a line feed, "@", ";", "#",
// "||" or "&&".
bool commandNeedsChecksum(std::string_view line) noexcept;

// The bytes that go to the receiver for a command line (id prefix already included):
// the line, its checksum suffix when due, then CR LF.
std::string formatCommandLine(std::string_view line);

// "%" + id + "%" + command, formatted as above.
std::string formatCommand(std::string_view id, std::string_view command);

} // namespace telvor
