#pragma once
// 32-bit millisecond tick: a steady clock that wraps after about 49.7 days, so intervals are
// taken by unsigned subtraction exactly as with the receiver tools' classic tick counter.
#include <chrono>
#include <cstdint>

namespace telvor {

inline std::uint32_t tickCount() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

// Milliseconds from `start` to `now`, correct across one wrap of the counter.
constexpr std::uint32_t ticksBetween(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

inline std::uint32_t ticksSince(std::uint32_t start) {
    return ticksBetween(start, tickCount());
}

} // namespace telvor
