#pragma once
// The newest copy of each displayed message. Written by the input thread, read and cleared by
// the UI thread, both under the main lock.
#include <array>
#include <cstddef>
#include <cstdint>

namespace telvor {

class TLatestMessages {
public:
    static constexpr int kRows = 24;
    static constexpr std::size_t kSlotSize = 1030; // a message of at most 1029 bytes and a zero
    static constexpr std::array<const char*, kRows> kIds = {
        "~~", "RD", "SI", "NN", "EL", "AZ", "EC", "E1", "E2", "SS", "TC", "DC",
        "PV", "PG", "DO", "OO", "TT", "DP", "PO", "VE", "GA", "NA", "MS", "SG"};

    // Row of an id, or -1.
    static int RowOf(char first, char second);

    // Copies a whole message into its row's slot; false when the id has no row or the message
    // does not fit.
    bool Store(const std::uint8_t* message, std::size_t length);
    void Clear();

    // The slot of a row; an empty slot starts with a zero byte.
    const std::uint8_t* Slot(int row) const { return slots_[row].data(); }
    bool Empty(int row) const { return slots_[row][0] == 0; }
    // Length of the stored message (up to its zero terminator).
    std::size_t Length(int row) const;
    void ClearRow(int row) { slots_[row][0] = 0; }

private:
    std::array<std::array<std::uint8_t, kSlotSize>, kRows> slots_{};
    std::array<std::size_t, kRows> lengths_{};
};

// The program's table, guarded by commState().mainLock.
TLatestMessages& latestMessages();

} // namespace telvor
