#pragma once
// Bounded little-endian reads from the body of a received message. Every read says whether
// the field lies inside the body, so a short or damaged message can never be read past.
#include "protocol/Messageformat.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

namespace telvor {

class TBody {
public:
    // `length` is the whole message; `tail` bytes of checksum at its end are not body data.
    TBody(const std::uint8_t* message, std::size_t length, std::size_t tail = 1)
        : data_(message + (length > kHeaderSize ? kHeaderSize : length)),
          size_(length > kHeaderSize + tail ? length - kHeaderSize - tail : 0) {}

    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    bool has(std::size_t offset, std::size_t bytes) const {
        return offset <= size_ && bytes <= size_ - offset;
    }

    template <class T> bool read(std::size_t offset, T& out) const {
        static_assert(std::is_arithmetic_v<T>);
        if (!has(offset, sizeof(T)))
            return false;
        unsigned char raw[sizeof(T)];
        std::memcpy(raw, data_ + offset, sizeof(T));
        if constexpr (std::endian::native == std::endian::big)
            for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
                std::swap(raw[i], raw[sizeof(T) - 1 - i]);
        std::memcpy(&out, raw, sizeof(T));
        return true;
    }

    // Read or fall back: for loops over entries already bounded by size().
    template <class T> T at(std::size_t offset) const {
        T v{};
        read(offset, v);
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// The whole message as text (for the text messages "MS", "GS", "NS").
inline std::string_view messageText(const std::uint8_t* message, std::size_t length) {
    return {reinterpret_cast<const char*>(message), length};
}

} // namespace telvor
