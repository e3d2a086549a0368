#include "server/Packetreader.h"

#include <algorithm>
#include <cstring>

namespace telvor {

void TPacketReader::feed(const std::uint8_t* data, std::size_t count) {
    while (count > 0) {
        const std::size_t part = std::min(count, kPendingSize - fill_);
        std::memcpy(buffer_ + fill_, data, part);
        fill_ += part;
        data += part;
        count -= part;
        parse();
    }
}

void TPacketReader::parse() {
    // With a full buffer the first header is either whole or wrong, so each pass consumes.
    std::size_t start = 0;
    auto consume = [&] {
        std::memmove(buffer_, buffer_ + start, fill_ - start);
        fill_ -= start;
        start = 0;
    };
    while (fill_ - start >= std::size_t(kPacketHeaderSize)) {
        const std::uint8_t* p = buffer_ + start;
        const std::size_t total = p[0] | std::size_t(p[1]) << 8;
        if (p[3] != 'N' || p[4] != 'L' || p[5] != 'G' || total <= std::size_t(kPacketHeaderSize) ||
            total > std::size_t(kMaxPacketSize)) {
            consume();
            resync();
            continue;
        }
        if (fill_ - start < total)
            break;
        auto message = openPacket(p, total, key_);
        if (!message) {
            // Skipped whole, as announced: resynchronising inside it would unscramble up to
            // 4 KB again for every 6 bytes of a header flood.
            start += total;
            ++errors_;
            continue;
        }
        start += total;
        ++packets_;
        handler_(message->data(), message->size());
    }
    consume();
}

void TPacketReader::resync() {
    ++errors_;
    // A packet starts three bytes before its marker; the next candidate starts at 1 or later.
    for (std::size_t m = 4; m + 3 <= fill_; ++m)
        if (buffer_[m] == 'N' && buffer_[m + 1] == 'L' && buffer_[m + 2] == 'G') {
            const std::size_t from = m - 3;
            std::memmove(buffer_, buffer_ + from, fill_ - from);
            fill_ -= from;
            return;
        }
    // No marker: the tail may still be the start of the next header.
    const std::size_t keep = std::min(fill_ - 1, std::size_t(kPacketHeaderSize - 1));
    std::memmove(buffer_, buffer_ + fill_ - keep, keep);
    fill_ = keep;
}

} // namespace telvor
