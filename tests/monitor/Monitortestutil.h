#pragma once
// Message builders for the monitor tests: binary bodies packed little-endian, wrapped with the
// checksum their id carries.
#include "protocol/Messagemaker.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace telvor::testing {

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

// Body + a kind-2 checksum in upper-case hex, for text messages built by hand.
inline std::string withHexChecksum(const std::string& text) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", rotatingChecksum(text.data(), text.size()));
    return text + hex;
}

} // namespace telvor::testing
