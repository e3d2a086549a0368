#pragma once
// The receiver's side of the block transfer started by "get": numbered blocks of a fixed length
// with a CRC running over the whole transfer, a final block with its byte count, or an error
// block; the computer paces it with one control byte per block.
#include "sim/Transferfaults.h"

#include <cstdint>
#include <string>

namespace telvorsim {

constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCancel = 0x23;
constexpr std::uint8_t kDataBlock = 0x02;
constexpr std::uint8_t kFinalBlock = 0x04;

// One block on the wire: kind, number or byte count, `length` data bytes, CRC, a trailing byte.
// The CRC covers kind, number and the whole data area and continues from `crc`.
std::string buildBlock(std::uint8_t kind, std::uint16_t number, const std::string& data,
                       std::size_t length, std::uint16_t crc);
std::uint16_t blockCrc(const std::string& block, std::uint16_t crc);

class TBlockTransfer {
public:
    // Serves `data` (the file from the asked offset) in blocks of `length` bytes. `endReply` is
    // sent after the final block was accepted.
    void start(std::string data, std::size_t length, std::string endReply,
               const TTransferFaults& faults);
    // Answers the first request with an error block.
    void startError(std::string text, std::size_t length);

    bool active() const { return active_; }
    // The computer went away or the receiver restarts: the transfer is over.
    void cancel() { active_ = justEnded_ = false; }
    // A byte from the computer. True when the transfer took it (while active, and a stray
    // control byte right after the end); `out` gets what to send back.
    bool take(std::uint8_t byte, std::string& out);

    // Blocks that left, resends included (for tests).
    int sent() const { return sent_; }

private:
    std::string block(int index, bool faulty);
    void send(int index, bool first, std::string& out);
    void end();
    bool isFinal(int index) const;

    bool active_ = false;
    bool justEnded_ = false;
    std::string data_, error_, endReply_;
    std::size_t length_ = 512;
    TTransferFaults faults_;
    int current_ = -1; // the block waiting for its answer; -1 before the first request
    bool currentSent_ = false;
    std::uint16_t crc_ = 0; // running value before the current block
    int silentNaks_ = 0;
    int sent_ = 0;
};

} // namespace telvorsim
