#pragma once
// When the next epoch of a replayed recording may go: by the receiver's own time ("~~"), at
// real time, N times faster or at once; paused, stepped one epoch at a time. No waiting here:
// the caller waits as long as it is told, on whatever clock it gave.
#include <cstdint>

namespace telvor {

class TReplayClock {
public:
    virtual ~TReplayClock() = default;
    // Milliseconds of a steady clock.
    virtual std::int64_t nowMs() = 0;
};

// The steady clock of the machine.
TReplayClock& steadyReplayClock();

// Not thread-safe: the link guards it.
class TReplayPacer {
public:
    static constexpr double kAsFastAsPossible = 0;
    // A longer gap in the recording (logging stopped, receiver off) is not waited for.
    static constexpr std::int64_t kMaxGapMs = 60000;

    explicit TReplayPacer(TReplayClock& clock) : clock_(clock) {}

    // 1 is real time, 10 ten times faster, kAsFastAsPossible no waiting at all.
    void setSpeed(double factor);
    double speed() const { return speed_; }
    void setPaused(bool on);
    bool paused() const { return paused_; }
    // While paused: lets one more epoch through.
    void step();
    // The next epoch is not the one after the last (a jump): it goes at once, timing restarts.
    void restart();

    // The next epoch has receiver time `receiverMs`: milliseconds to wait before it may go
    // (0: now), or -1 while paused.
    std::int64_t waitMs(std::int64_t receiverMs);
    // It went.
    void released(std::int64_t receiverMs);

private:
    void anchorAtLast();

    TReplayClock& clock_;
    double speed_ = 1;
    bool paused_ = false;
    int steps_ = 0;
    bool anchored_ = false;
    std::int64_t anchorWall_ = 0, anchorReceiver_ = 0;
    bool haveLast_ = false;
    std::int64_t last_ = 0;
};

} // namespace telvor
