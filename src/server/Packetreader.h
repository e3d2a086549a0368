#pragma once
// Cuts one peer's byte stream into sharing packets: checks header and length, unscrambles,
// verifies the checksum and hands each good message on. Garbage is counted and skipped up to
// the next marker, a packet whose checksum fails is skipped as long as it said it was, so the
// work stays bounded by the bytes received; a packet that is still arriving waits in a
// bounded buffer.
#include "server/Sharingpacket.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace telvor {

class TPacketReader {
public:
    static constexpr std::size_t kPendingSize = 8192;
    // One good message (code and body); called from feed().
    using Handler = std::function<void(const std::uint8_t* message, std::size_t count)>;

    explicit TPacketReader(Handler handler) : handler_(std::move(handler)) {}

    void setKey(std::string key) { key_ = std::move(key); }
    // Takes any amount: it is parsed in slices that fit the pending buffer, so nothing that
    // could still be a packet is dropped.
    void feed(const std::uint8_t* data, std::size_t count);
    void clear() { fill_ = 0; }

    // Bad markers, lengths and checksums seen since the last reset.
    std::uint64_t errors() const { return errors_; }
    std::uint64_t packets() const { return packets_; }
    void resetCounters() { errors_ = packets_ = 0; }
    std::size_t pending() const { return fill_; }

private:
    void parse();
    // Drops the bytes before the next marker after the packet start, counting one error.
    void resync();

    Handler handler_;
    std::string key_ = kDefaultSharingKey;
    std::uint8_t buffer_[kPendingSize] = {};
    std::size_t fill_ = 0;
    std::uint64_t errors_ = 0;
    std::uint64_t packets_ = 0;
};

} // namespace telvor
