#include "sim/Faults.h"

#include <algorithm>

namespace telvorsim {

std::uint64_t TFaultRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string damage(const std::string& bytes, double corrupt, double drop, TFaultRandom& random,
                   int burst, int* run) {
    if (corrupt <= 0 && drop <= 0)
        return bytes;
    burst = std::max(1, burst);
    int local = 0;
    int& left = run ? *run : local;
    // A run starts with this chance, so the share of corrupted bytes stays `corrupt`.
    const double start = corrupt / burst;
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        if (drop > 0 && random.unit() < drop)
            continue;
        if (left == 0 && corrupt > 0 && random.unit() < start)
            left = burst;
        if (left > 0) {
            --left;
            c = static_cast<char>(c ^ static_cast<char>(1 + random.next() % 255));
        }
        out.push_back(c);
    }
    return out;
}

void garble(std::uint8_t* data, std::size_t count, TFaultRandom& random) {
    for (std::size_t i = 0; i < count; ++i)
        data[i] = static_cast<std::uint8_t>(0x80 | ((data[i] * 7u + random.next()) & 0x7F));
}

} // namespace telvorsim
