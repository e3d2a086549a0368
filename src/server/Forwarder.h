#pragma once
// The server's forwarding of receiver output: chunks are gathered into "MM" messages of at
// most PacketSize bytes, cut early before each reply so a command's answer travels at once,
// and sized to the receiver's blocks while a client downloads a file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

namespace telvor {

class TForwarder {
public:
    static constexpr int kNormalSize = 1500;
    // One "MM" message: the code and up to PacketSize bytes.
    using Sender = std::function<void(const std::uint8_t* message, std::size_t count)>;

    explicit TForwarder(Sender sender) : send_(std::move(sender)) {}

    // Receiver output, any chunk size.
    void forward(const std::uint8_t* data, std::size_t count);
    // The flush timer's tick: whatever is gathered goes out.
    void flush();
    void clear();

    // A "WC" command from the client: a block download changes the packet size and stops the
    // flush timer (so blocks are not cut); the next "#" or "%" command restores both.
    void onCommand(std::string_view command);
    // Back to the normal state, the flush timer running.
    void reset();

    int packetSize() const { return packetSize_; }
    bool flushTimerOn() const { return flushTimerOn_; }
    std::size_t buffered() const;

private:
    void sendLocked();
    // Whether the text after leading CR/LF is empty or starts with a whole reply.
    bool replyComplete() const;

    Sender send_;
    mutable std::mutex lock_;
    std::uint8_t buffer_[2 + 2048] = {'M', 'M'};
    std::size_t fill_ = 0; // data bytes after "MM"
    int packetSize_ = kNormalSize;
    bool flushTimerOn_ = true;
};

} // namespace telvor
