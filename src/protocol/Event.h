#pragma once
// A settable event that threads wait on: manual reset (stays set until reset) or automatic
// reset (one successful wait clears it).
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace telvor {

class TEvent {
public:
    explicit TEvent(bool manualReset = true, bool initiallySet = false)
        : manual_(manualReset), set_(initiallySet) {}

    // Notifies under the lock: a waiter may destroy the event as soon as it sees it set.
    void Set() {
        std::lock_guard lock(mutex_);
        set_ = true;
        cv_.notify_all();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    bool IsSet() const {
        std::lock_guard lock(mutex_);
        return set_;
    }
    // Waits up to `timeoutMs` (negative: without limit); true when the event was set.
    bool Wait(int timeoutMs = -1) {
        std::unique_lock lock(mutex_);
        if (timeoutMs < 0)
            cv_.wait(lock, [&] { return set_; });
        else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return set_; }))
            return false;
        if (!manual_)
            set_ = false;
        return true;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    const bool manual_;
    bool set_;
};

} // namespace telvor
