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

class TMessageSplitter {
public:
    static constexpr std::size_t kPendingSize = 8192;

    explicit TMessageSplitter(TSplitterSink& sink, const std::atomic<bool>* stop = nullptr);

    // Appends a chunk and delivers every complete message in it. A chunk that would overflow
    // the pending buffer discards the pending bytes and itself.
    void feed(const std::uint8_t* data, std::size_t count);
    void reset() { fill_ = 0; }
    std::size_t pending() const { return fill_; }

private:
    TSplitterSink& sink_;
    const std::atomic<bool>* stop_;
    std::size_t fill_ = 0;
    std::uint8_t buffer_[kPendingSize];
};

} // namespace telvor
