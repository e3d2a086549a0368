#pragma once
// A little-endian message body, written field by field.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace telvorsim {

struct TBody {
    std::string s;
    template <typename T> void put(T v) {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        if constexpr (std::endian::native == std::endian::big)
            for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
                std::swap(b[i], b[sizeof(T) - 1 - i]);
        s.append(reinterpret_cast<const char*>(b), sizeof(T));
    }
    void u8(int v) { put(static_cast<std::uint8_t>(v)); }
    void i8(int v) { put(static_cast<std::int8_t>(v)); }
    void u16(unsigned v) { put(static_cast<std::uint16_t>(v)); }
    void u32(std::uint32_t v) { put(v); }
    void i32(std::int32_t v) { put(v); }
    void f32(double v) { put(static_cast<float>(v)); }
    void f64(double v) { put(v); }
};

} // namespace telvorsim
