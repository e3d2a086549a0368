#include "protocol/Latestmsgs.h"

#include <cstring>

namespace telvor {

int TLatestMessages::RowOf(char first, char second) {
    for (int row = 0; row < kRows; ++row)
        if (kIds[row][0] == first && kIds[row][1] == second)
            return row;
    return -1;
}

bool TLatestMessages::Store(const std::uint8_t* message, std::size_t length) {
    if (length < 2 || length >= kSlotSize)
        return false;
    int row = RowOf(static_cast<char>(message[0]), static_cast<char>(message[1]));
    if (row < 0)
        return false;
    std::memcpy(slots_[row].data(), message, length);
    slots_[row][length] = 0;
    lengths_[row] = length;
    return true;
}

void TLatestMessages::Clear() {
    for (auto& slot : slots_)
        slot[0] = 0;
    lengths_.fill(0);
}

std::size_t TLatestMessages::Length(int row) const {
    // Binary bodies may hold zero bytes, so the stored length is kept beside the slot.
    return slots_[row][0] == 0 ? 0 : lengths_[row];
}

TLatestMessages& latestMessages() {
    static TLatestMessages table;
    return table;
}

} // namespace telvor
