#pragma once
// Raw-measurement frames ("rM"): their lower-case id is one the message splitter never takes,
// so they reach the skipped runs. They carry their own CRC-16, which tells an intact frame from
// damage. No Qt.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace telvor {

constexpr std::size_t kRawFrameIncomplete = static_cast<std::size_t>(-1);

// The length of the intact raw frame at `p`: 0 when none starts there (or its CRC fails),
// kRawFrameIncomplete when the `n` bytes end inside one.
std::size_t rawFrameAt(const std::uint8_t* p, std::size_t n) noexcept;

// Counts the damaged bytes of the skipped runs: neither line ends nor intact raw frames. A frame
// cut at the end of a run is held until the next run shows whether it goes on.
class TDamageCounter {
public:
    std::uint64_t skipped(const std::uint8_t* bytes, std::size_t count);
    // A message came between two runs: a frame still held was cut off.
    std::uint64_t interrupted();
    void reset() { held_.clear(); }

private:
    std::vector<std::uint8_t> held_;
};

} // namespace telvor
