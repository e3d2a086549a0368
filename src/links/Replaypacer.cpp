#include "links/Replaypacer.h"

#include <chrono>
#include <cmath>

namespace telvor {

namespace {
class TSteadyClock : public TReplayClock {
public:
    std::int64_t nowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};
} // namespace

TReplayClock& steadyReplayClock() {
    static TSteadyClock clock;
    return clock;
}

// Timing goes on from the epoch shown last, so that a change takes effect from now on
// without a jump.
void TReplayPacer::anchorAtLast() {
    anchored_ = haveLast_;
    anchorWall_ = clock_.nowMs();
    anchorReceiver_ = last_;
}

void TReplayPacer::setSpeed(double factor) {
    speed_ = factor > 0 ? factor : kAsFastAsPossible;
    anchorAtLast();
}

void TReplayPacer::setPaused(bool on) {
    if (paused_ == on)
        return;
    paused_ = on;
    steps_ = 0;
    if (!on)
        anchorAtLast();
}

void TReplayPacer::step() {
    if (paused_)
        ++steps_;
}

void TReplayPacer::restart() {
    anchored_ = false;
    haveLast_ = false;
}

std::int64_t TReplayPacer::waitMs(std::int64_t receiverMs) {
    if (paused_)
        return steps_ > 0 ? 0 : -1;
    if (speed_ == kAsFastAsPossible)
        return 0;
    // Time going back (a new day without a date, a second recording appended) or a long gap:
    // the epoch goes now and timing restarts from it.
    if (!anchored_ || receiverMs < anchorReceiver_ || (haveLast_ && receiverMs - last_ > kMaxGapMs))
        return 0;
    const double due = double(anchorWall_) + double(receiverMs - anchorReceiver_) / speed_;
    const double wait = std::ceil(due - double(clock_.nowMs()));
    return wait > 0 ? std::int64_t(wait) : 0;
}

void TReplayPacer::released(std::int64_t receiverMs) {
    const bool restartHere =
        !anchored_ || receiverMs < anchorReceiver_ || (haveLast_ && receiverMs - last_ > kMaxGapMs);
    if (paused_ && steps_ > 0)
        --steps_;
    last_ = receiverMs;
    haveLast_ = true;
    if (restartHere) {
        anchored_ = true;
        anchorWall_ = clock_.nowMs();
        anchorReceiver_ = receiverMs;
    }
}

} // namespace telvor
