#include "server/Forwarder.h"

#include <algorithm>

namespace telvor {
namespace {

bool isReplyId(const std::uint8_t* p) {
    return (p[0] == 'R' && p[1] == 'E') || (p[0] == 'E' && p[1] == 'R');
}

int hexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void TForwarder::forward(const std::uint8_t* data, std::size_t count) {
    std::lock_guard lock(lock_);
    if (packetSize_ == kNormalSize && count > 1 && fill_ > 0 && isReplyId(data))
        sendLocked();
    while (count > 0) {
        const std::size_t part = std::min(count, std::size_t(packetSize_) - fill_);
        std::copy_n(data, part, buffer_ + 2 + fill_);
        fill_ += part;
        data += part;
        count -= part;
        if (fill_ >= std::size_t(packetSize_) || (packetSize_ == kNormalSize && replyComplete()))
            sendLocked();
    }
}

bool TForwarder::replyComplete() const {
    const std::uint8_t* p = buffer_ + 2;
    std::size_t i = 0;
    while (i < fill_ && (p[i] == '\r' || p[i] == '\n'))
        ++i;
    if (i == fill_)
        return true;
    if (fill_ - i < 5 || !isReplyId(p + i))
        return false;
    int length = 0;
    for (int d = 2; d < 5; ++d) {
        const int v = hexDigit(p[i + d]);
        if (v < 0)
            return false;
        length = length * 16 + v;
    }
    return fill_ - i >= std::size_t(length) + 5;
}

void TForwarder::flush() {
    std::lock_guard lock(lock_);
    sendLocked();
}

void TForwarder::clear() {
    std::lock_guard lock(lock_);
    fill_ = 0;
}

void TForwarder::sendLocked() {
    if (fill_ == 0)
        return;
    send_(buffer_, fill_ + 2);
    fill_ = 0;
}

void TForwarder::onCommand(std::string_view command) {
    std::lock_guard lock(lock_);
    if (flushTimerOn_) {
        if (command.size() <= 5 || command.find("get") == std::string_view::npos)
            return;
        int size = 0;
        if (command.find(",1024}") != std::string_view::npos)
            size = 1030;
        else if (command.find("{300}") != std::string_view::npos)
            size = 518;
        else if (command.find(",2048}") != std::string_view::npos)
            size = 1027;
        if (size == 0)
            return;
        // What the receiver said before the download goes out at the size it was gathered.
        sendLocked();
        packetSize_ = size;
        flushTimerOn_ = false;
        return;
    }
    if (!command.empty() && (command[0] == '#' || command[0] == '%')) {
        sendLocked();
        packetSize_ = kNormalSize;
        flushTimerOn_ = true;
    } else if (!command.empty() && command[0] == 21) {
        fill_ = 0;
    }
}

void TForwarder::reset() {
    std::lock_guard lock(lock_);
    fill_ = 0;
    packetSize_ = kNormalSize;
    flushTimerOn_ = true;
}

std::size_t TForwarder::buffered() const {
    std::lock_guard lock(lock_);
    return fill_;
}

} // namespace telvor
