#pragma once
// Cuts the received byte stream into whole, checked messages and resynchronises after garbage.
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace telvor {

class TSplitterSink {
public:
    virtual ~TSplitterSink() = default;
    // A whole message whose checksum is good; `length` includes the five header bytes.
    virtual void onMessage(const std::uint8_t* message, std::size_t length) = 0;
    // Bytes passed over while searching for a header, in arrival order. `garbage` is true when
    // they were more than line ends (the test-playback "Probably broken message" rule).
    virtual void onSkipped(const std::uint8_t* bytes, std::size_t count, bool garbage) = 0;
};

// Every byte fed ends up in exactly one of: a delivered message, a skipped report, the pending
// buffer, or a chunk discarded by the overflow rule. The sink must not call back into the
// splitter; the pointers it gets are valid only during the call.
class TMessageSplitter {
public:
    static constexpr std::size_t kPendingSize = 8192;

    // `stop`, when given, is polled between messages; once set, the rest stays pending.
    explicit TMessageSplitter(TSplitterSink& sink, const std::atomic<bool>* stop = nullptr);
    TMessageSplitter(const TMessageSplitter&) = delete;
    TMessageSplitter& operator=(const TMessageSplitter&) = delete;

    // Appends a chunk and delivers every complete message in it. A chunk larger than space()
    // discards the pending bytes and itself, and gives false.
    bool feed(const std::uint8_t* data, std::size_t count);
    void reset() { fill_ = 0; }

    std::size_t pending() const { return fill_; }
    const std::uint8_t* pendingData() const { return buffer_; }
    // The largest chunk feed() takes now. A reader that never reads more loses nothing.
    std::size_t space() const { return kPendingSize - fill_; }

private:
    // Delivers what `buf` holds and gives the count of bytes dealt with (the rest is pending).
    std::size_t split(const std::uint8_t* buf, std::size_t fill);

    TSplitterSink& sink_;
    const std::atomic<bool>* stop_;
    const std::uint8_t* kinds_; // checksum kind by id, built once for all splitters
    std::size_t fill_ = 0;
    std::uint8_t buffer_[kPendingSize];
};

} // namespace telvor
