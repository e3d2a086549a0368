#pragma once
// Waiting for something another thread or the event loop brings about, with a guard.
#include <chrono>
#include <functional>
#include <thread>

namespace telvor::testing {

// Checks `done` until it holds or `ms` pass; between checks runs `between` (by default a
// 10 ms sleep; window tests pass one that processes Qt events). Returns the last check.
inline bool eventually(
    const std::function<bool()>& done, int ms = 5000, const std::function<void()>& between = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        between();
    }
    return done();
}

} // namespace telvor::testing
