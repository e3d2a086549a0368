#include "sim/Blocktransfer.h"

#include "protocol/Crc16.h"

#include <algorithm>

namespace telvorsim {

std::string buildBlock(std::uint8_t kind, std::uint16_t number, const std::string& data,
                       std::size_t length, std::uint16_t crc) {
    std::string b(length + 6, '\0');
    b[0] = static_cast<char>(kind);
    b[1] = static_cast<char>(number & 0xFF);
    b[2] = static_cast<char>(number >> 8);
    std::copy_n(data.begin(), std::min(data.size(), length), b.begin() + 3);
    std::uint16_t c = blockCrc(b, crc);
    b[3 + length] = static_cast<char>(c & 0xFF);
    b[4 + length] = static_cast<char>(c >> 8);
    return b;
}

std::uint16_t blockCrc(const std::string& block, std::uint16_t crc) {
    return telvor::crc16(crc, block.data(), block.size() - 3);
}

void TBlockTransfer::start(std::string data, std::size_t length, std::string endReply,
                           const TTransferFaults& faults) {
    *this = TBlockTransfer{};
    data_ = std::move(data);
    length_ = length;
    endReply_ = std::move(endReply);
    faults_ = faults;
    silentNaks_ = faults.silentNaks;
    active_ = true;
}

void TBlockTransfer::startError(std::string text, std::size_t length) {
    *this = TBlockTransfer{};
    error_ = std::move(text);
    length_ = length;
    active_ = true;
}

bool TBlockTransfer::isFinal(int index) const {
    return (static_cast<std::size_t>(index) + 1) * length_ >= data_.size();
}

std::string TBlockTransfer::block(int index, bool faulty) {
    const std::uint16_t start = faults_.crcPerBlock ? 0 : crc_;
    if (!error_.empty() || (faulty && index == faults_.errorBlock)) {
        std::string text = error_.empty() ? faults_.errorText : error_;
        text.resize(std::min(text.size(), length_ - 1));
        return buildBlock(kFinalBlock, 0xFFFF, text, length_, start);
    }
    std::size_t from = static_cast<std::size_t>(index) * length_;
    std::string part = data_.substr(std::min(from, data_.size()), length_);
    std::uint8_t kind = isFinal(index) ? kFinalBlock : kDataBlock;
    std::uint16_t number = kind == kFinalBlock ? static_cast<std::uint16_t>(part.size())
                                               : static_cast<std::uint16_t>(index & 0xFFFF);
    if (faulty && index == faults_.jumpBlock && kind == kDataBlock)
        ++number;
    std::string b = buildBlock(kind, number, part, length_, start);
    if (faulty && index == faults_.damageBlock)
        b[3] = static_cast<char>(b[3] ^ 0x5A);
    return b;
}

bool TBlockTransfer::take(std::uint8_t byte, std::string& out) {
    out.clear();
    if (!active_) {
        // The computer's late NAK or its cancel after the end must not start a command line.
        bool stray = justEnded_ && (byte == kAck || byte == kNak || byte == kCancel);
        justEnded_ = stray;
        return stray;
    }
    if (byte == kCancel) {
        end();
        return true;
    }
    if (byte == kNak) {
        if (current_ < 0) {
            if (silentNaks_ > 0) {
                --silentNaks_;
                return true;
            }
            current_ = 0;
        }
        bool first = !currentSent_;
        currentSent_ = true;
        send(current_, first, out);
        return true;
    }
    if (byte != kAck)
        return true; // anything else while blocks run is line noise to the receiver
    if (current_ < 0 || !currentSent_)
        return true;
    if (!error_.empty() || isFinal(current_)) {
        out = error_.empty() ? endReply_ : "";
        end();
        return true;
    }
    // The accepted block's CRC is where the next one continues.
    const std::uint16_t before = crc_;
    crc_ = blockCrc(block(current_, false), faults_.crcPerBlock ? 0 : crc_);
    const int accepted = current_++;
    currentSent_ = true;
    if (accepted == faults_.repeatBlock) {
        // Comes again instead of the next one; the computer's NAK brings the next.
        faults_.repeatBlock = -1;
        const std::uint16_t after = crc_;
        crc_ = before;
        out = block(accepted, false);
        ++sent_;
        crc_ = after;
        return true;
    }
    send(current_, true, out);
    return true;
}

void TBlockTransfer::send(int index, bool first, std::string& out) {
    ++sent_;
    if (first && index == faults_.loseBlock)
        return;
    out = block(index, first);
    // An error block ends the transfer whatever the computer answers.
    if (static_cast<std::uint8_t>(out[0]) == kFinalBlock && out[1] == '\xFF' && out[2] == '\xFF')
        error_ = error_.empty() ? faults_.errorText : error_;
}

void TBlockTransfer::end() {
    active_ = false;
    justEnded_ = true;
}

} // namespace telvorsim
