#pragma once
// Builds received messages with the checksum their id carries, for tests and benchmarks.
#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace telvor::testing {

inline int kindOf(std::string_view id) {
    return MessInfoVXR[messInfoRow(id[0], id[1])].kind;
}

// `id` + three length digits + `body` + the checksum of the id's kind.
inline std::string makeMessage(std::string_view id, std::string_view body) {
    const int kind = kindOf(id);
    const std::size_t tail = kind == kNoChecksum ? 0 : kind == kBinaryChecksum ? 1 : 2;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03X", static_cast<unsigned>(body.size() + tail));
    std::string m = std::string(id.substr(0, 2)) + digits + std::string(body);
    if (kind == kBinaryChecksum) {
        m.push_back(static_cast<char>(rotatingChecksum(m.data(), m.size())));
    } else if (kind == kHexChecksum) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", rotatingChecksum(m.data(), m.size()));
        m += hex;
    } else if (kind == kCrcChecksum) {
        std::uint16_t crc = crc16(0, m.data(), m.size());
        m.push_back(static_cast<char>(crc & 0xFF));
        m.push_back(static_cast<char>(crc >> 8));
    }
    return m;
}

} // namespace telvor::testing
