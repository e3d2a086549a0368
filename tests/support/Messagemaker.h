#pragma once
// Builds received messages with the checksum their id carries, and binary bodies packed
// little-endian, for tests and benchmarks.
#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
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

// A raw-measurement frame: "rM" + length + `body` + its CRC-16, low byte first.
inline std::string makeRawFrame(std::string_view body) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03X", static_cast<unsigned>(body.size() + 2));
    std::string m = std::string("rM") + digits + std::string(body);
    const std::uint16_t crc = crc16(0, m.data(), m.size());
    m.push_back(static_cast<char>(crc & 0xFF));
    m.push_back(static_cast<char>(crc >> 8));
    return m;
}

// A reply to a "%%" command: "RE" + length + "%%" + value.
inline std::string makeReply(std::string_view value, std::string_view echo = "%%") {
    return makeMessage("RE", std::string(echo) + std::string(value));
}

// Body + a kind-2 checksum in upper-case hex, for text messages built by hand.
inline std::string withHexChecksum(const std::string& text) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", rotatingChecksum(text.data(), text.size()));
    return text + hex;
}

// A binary body built value by value, little-endian as the receiver sends it.
class TPack {
public:
    template <class T> TPack& put(T v) {
        char raw[sizeof(T)];
        std::memcpy(raw, &v, sizeof(T));
        bytes_.append(raw, sizeof(T));
        return *this;
    }
    TPack& u8(std::uint8_t v) { return put(v); }
    TPack& raw(const std::string& s) {
        bytes_ += s;
        return *this;
    }
    const std::string& str() const { return bytes_; }

private:
    std::string bytes_;
};

inline std::string bytesOf(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

inline const std::uint8_t* u8p(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

} // namespace telvor::testing
