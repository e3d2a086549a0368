#pragma once
// The replay link: a recorded .vxr instead of a port. Its input thread, splitter and dispatch
// are those of a live link; it hands the file over one epoch at a time, paced by the
// receiver's time. Nothing written to it goes anywhere.
#include "links/Replayfile.h"
#include "links/Replaypacer.h"
#include "protocol/Link.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace telvor {

// What a command or a window that needs the receiver gets while a recording plays.
inline constexpr const char* kNotWhileReplaying = "Not available while replaying a recording";

struct TReplayStatus {
    std::uint64_t position = 0, size = 0;   // bytes handed to the input thread, of the file's
    std::size_t epoch = 0, epochs = 0;      // epochs handed over (1 = the first), of the file's
    std::int64_t receiverMs = -1;           // of the last epoch handed over; -1 before the first
    std::int64_t firstMs = -1, lastMs = -1; // of the file's first and last epochs
    double speed = 1;
    bool paused = false;
    // Every byte has been handed over and routed.
    bool finished = false;
};

class TReplayConnection : public TReceiverConnection {
public:
    // `clock` paces the epochs (tests give their own); the file is opened at once, the error
    // in ErrorText().
    explicit TReplayConnection(const std::string& path, TReplayClock& clock = steadyReplayClock());
    ~TReplayConnection() override;

    int Read(std::uint8_t* buffer, int count) override;
    // Takes nothing: the reply never comes, so the caller fails at once.
    int Write(const std::uint8_t* bytes, int count) override;
    void WaitEvent(std::uint32_t& word) override;
    bool SetSpeed(std::uint32_t) override { return true; }
    bool Purge() override { return true; }

    // Any thread.
    void setSpeed(double factor);
    void setPaused(bool on);
    void step();
    // Goes on from the first epoch at or after `receiverMs` (of the index's counting).
    void seekTime(std::int64_t receiverMs);
    void seekEpoch(std::size_t index);
    TReplayStatus status() const;
    const TReplayFile& file() const { return file_; }

private:
    // Under lock_: grants the input thread the next epoch's bytes when their time has come;
    // else the wait in milliseconds (-1: none until told).
    std::int64_t grantNext();

    TReplayFile file_;
    mutable std::mutex lock_;
    TReplayPacer pacer_;
    std::uint64_t position_ = 0;
    std::uint64_t grantEnd_ = 0; // Read hands out bytes up to here
    std::size_t next_ = 0;       // the epoch granted next; the bytes before the first go at once
    bool prefixDone_ = false;
    bool seekPending_ = false;
    std::size_t seekTo_ = 0;
    bool finished_ = false;
    std::int64_t receiverMs_ = -1;
    bool granted_ = false; // something was granted since the input thread last waited
};

// Opens `path` as the current link and starts its input thread; the error text, "" when the
// replay runs. A caller that gets a text closes the link.
std::string OpenReplayConnection(const std::string& path);

// What the replay handed over and what the stream lost (skipped and damaged bytes, a message
// cut off at the end). Takes the main lock.
std::string replaySummary(TReplayConnection& link);

// The link being replayed, or null when the current link is a receiver (or none).
TReplayConnection* CurrentReplay();

} // namespace telvor
