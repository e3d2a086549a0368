#pragma once
// Bounded byte buffer shared by the input thread (which appends) and the command engine
// (which polls it without the lock and rearranges it under lock-and-get).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace telvor {

class TSharedBuffer {
public:
    explicit TSharedBuffer(int capacity);
    TSharedBuffer(const TSharedBuffer&) = delete;
    TSharedBuffer& operator=(const TSharedBuffer&) = delete;

    // Copies what fits, keeps a zero byte after the data and returns the new fill.
    int Append(const void* bytes, int n);
    // Moves the bytes from `pos` on to the front; an out-of-range pos empties the buffer.
    void Discard(int pos);
    void Clear() { Discard(-1); }
    // Removes up to `n` bytes from the front.
    void Consume(int n);
    void SetFill(int n);

    // Length of a whole reply that the command engine moved to the front, so that reading it
    // stops at its end without overwriting the bytes that follow. Any change at the front
    // (discard, consume, set fill) forgets it.
    void SetFrontMessage(int length);
    int FrontMessage() const { return front_.load(std::memory_order_acquire); }

    // Holds the buffer open for rearranging; null when it is already held. While held, the
    // holder's own Discard/Consume/SetFill do not take the lock again.
    std::uint8_t* LockAndGet();
    void Release();

    // May be read without the lock while polling: a stale value only delays detection.
    const std::uint8_t* Data() const { return data_.get(); }
    int Fill() const { return fill_.load(std::memory_order_acquire); }

    // Counts appends, so a poller can sleep until something new came.
    std::uint32_t Generation() const { return generation_.load(std::memory_order_acquire); }
    // Waits up to `timeoutMs` for an append after `generation`; true when one came.
    bool WaitAppend(std::uint32_t generation, int timeoutMs);

private:
    void discardLocked(int pos);
    void consumeLocked(int n);
    bool heldByMe() const;

    std::mutex lock_;
    std::unique_ptr<std::uint8_t[]> data_;
    int capacity_;
    std::atomic<int> fill_{0};
    std::atomic<int> front_{0};
    std::atomic<std::uint32_t> generation_{0};
    std::mutex waitLock_;
    std::condition_variable appended_;
    std::atomic<bool> held_{false};
    std::atomic<std::thread::id> holder_{};
};

} // namespace telvor
