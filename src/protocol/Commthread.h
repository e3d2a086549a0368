#pragma once
// The input thread of one receiver link: waits on the link, reads every chunk and routes it by
// the input mode into the reply buffer, the transfer pacing, the terminal, or through the
// message splitter to the reply buffer, the plot store, the real-time file and the
// latest-message table.
#include "protocol/Commstate.h"
#include "protocol/Rawframe.h"
#include "protocol/Splitter.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <thread>

namespace telvor {

class TReceiverConnection;

// What the splitter made of the stream so far.
struct TSplitCounts {
    std::uint64_t messages = 0;
    std::uint64_t skipped = 0; // bytes passed over, line ends included
    std::uint64_t damaged = 0; // of those, the bytes that were not line ends
};

class TCommThread : private TSplitterSink {
public:
    static constexpr int kReadSize = 8192;
    static constexpr const char* kPlaybackFile = "site.vxr";

    explicit TCommThread(TReceiverConnection& owner);
    ~TCommThread() override;
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    void Start();
    bool Started() const { return started_.load(); }
    void Terminate();
    // Waits until the thread body has returned and joins it.
    void WaitFor();

    // Used by the feeding functions and the block transfer.
    void AppendToReply(const std::uint8_t* bytes, int count);
    void AppendAndSignal(const std::uint8_t* bytes, int count);
    // Routes one chunk by the input mode: reply buffer, transfer pacing, terminal or splitter.
    // The thread's own reads and a sharing client's bytes (UI thread) both come here; takes
    // the main lock. Returns the mode it routed by.
    TInputMode Route(const std::uint8_t* bytes, int count);
    // Writes what the splitter holds to the real-time file and empties it. Takes the main lock.
    void FlushPending();
    // Any thread.
    TSplitCounts Counts() const;
    // Bytes of an unfinished message the splitter waits on. Takes the main lock.
    std::size_t PendingBytes();

private:
    void Execute();
    void ProcessChunk(int count);
    void Split(const std::uint8_t* bytes, int count);
    // Dispatch of one split message; runs under the main lock.
    void onMessage(const std::uint8_t* message, std::size_t length) override;
    void onSkipped(const std::uint8_t* bytes, std::size_t count, bool garbage) override;
    bool PlaybackWanted();
    int ReadPlayback(std::uint8_t* buffer, int count);
    void ClosePlayback();

    TReceiverConnection& owner_;
    std::mutex startLock_; // Start may run on another thread than WaitFor
    std::thread thread_;
    // Set by whoever starts the thread (the Ethernet link's connect worker), read by the UI.
    std::atomic<bool> started_{false};
    std::atomic<bool> terminate_{false};
    // The splitter stops between messages when this is set: on terminate, and in playback
    // after an epoch.
    std::atomic<bool> stopSplit_{false};
    std::mutex doneLock_;
    std::condition_variable doneCv_;
    bool done_ = false;

    std::uint8_t readBuffer_[kReadSize + 1] = {};
    int lastCount_ = 0;
    TMessageSplitter splitter_;
    TDamageCounter damage_;
    std::atomic<std::uint64_t> messages_{0}, skipped_{0}, damaged_{0};
    bool sawEpoch_ = false;
    bool playing_ = false;
    std::FILE* playback_ = nullptr;
};

} // namespace telvor
