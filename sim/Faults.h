#pragma once
// Damage done to the output: faults a test asked for, and what a wrong baud rate makes of it.
#include <cstddef>
#include <cstdint>
#include <string>

namespace telvorsim {

class TFaultRandom {
public:
    explicit TFaultRandom(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next();
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t state_;
};

// Drops and corrupts a fraction of the bytes; a corrupted byte always differs from the original.
// Corrupted bytes come in runs of `burst`, as line noise does; `run` carries the rest of a run
// into the next call.
std::string damage(const std::string& bytes, double corrupt, double drop, TFaultRandom& random,
                   int burst = 1, int* run = nullptr);

// What the other end reads when its rate differs: framing garbage with the high bit set, so it
// can never form a message header or a line end.
void garble(std::uint8_t* data, std::size_t count, TFaultRandom& random);

} // namespace telvorsim
