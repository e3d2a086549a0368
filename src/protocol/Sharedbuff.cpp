#include "protocol/Sharedbuff.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace telvor {

TSharedBuffer::TSharedBuffer(int capacity)
    : data_(new std::uint8_t[std::max(capacity, 0) + 1]()), capacity_(std::max(capacity, 0)) {}

int TSharedBuffer::Append(const void* bytes, int n) {
    int fill;
    {
        std::lock_guard guard(lock_);
        fill = fill_.load(std::memory_order_relaxed);
        int count = std::clamp(n, 0, capacity_ - fill);
        if (count > 0)
            std::memcpy(data_.get() + fill, bytes, count);
        fill += count;
        data_[fill] = 0;
        fill_.store(fill, std::memory_order_release);
    }
    {
        std::lock_guard guard(waitLock_);
        generation_.fetch_add(1, std::memory_order_acq_rel);
    }
    appended_.notify_all();
    return fill;
}

bool TSharedBuffer::WaitAppend(std::uint32_t generation, int timeoutMs) {
    std::unique_lock lock(waitLock_);
    return appended_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return Generation() != generation; });
}

void TSharedBuffer::discardLocked(int pos) {
    front_.store(0, std::memory_order_release);
    int fill = fill_.load(std::memory_order_relaxed);
    if (pos < 0 || pos >= capacity_ || pos >= fill) {
        std::memset(data_.get(), 0, capacity_ + 1);
        fill_.store(0, std::memory_order_release);
        return;
    }
    std::memmove(data_.get(), data_.get() + pos, fill - pos);
    fill -= pos;
    std::memset(data_.get() + fill, 0, capacity_ + 1 - fill);
    fill_.store(fill, std::memory_order_release);
}

void TSharedBuffer::Discard(int pos) {
    if (heldByMe()) {
        discardLocked(pos);
        return;
    }
    std::lock_guard guard(lock_);
    discardLocked(pos);
}

void TSharedBuffer::consumeLocked(int n) {
    int fill = fill_.load(std::memory_order_relaxed);
    n = std::clamp(n, 0, fill);
    if (n == 0)
        return;
    if (n == fill)
        discardLocked(-1);
    else
        discardLocked(n);
}

bool TSharedBuffer::heldByMe() const {
    return held_.load() && holder_.load() == std::this_thread::get_id();
}

void TSharedBuffer::Consume(int n) {
    if (heldByMe()) {
        consumeLocked(n);
        return;
    }
    std::lock_guard guard(lock_);
    consumeLocked(n);
}

void TSharedBuffer::SetFill(int n) {
    auto apply = [&] {
        front_.store(0, std::memory_order_release);
        int fill = std::clamp(n, 0, capacity_);
        data_[fill] = 0;
        fill_.store(fill, std::memory_order_release);
    };
    if (heldByMe()) {
        apply();
        return;
    }
    std::lock_guard guard(lock_);
    apply();
}

void TSharedBuffer::SetFrontMessage(int length) {
    front_.store(std::clamp(length, 0, Fill()), std::memory_order_release);
}

std::uint8_t* TSharedBuffer::LockAndGet() {
    if (heldByMe())
        return nullptr;
    lock_.lock();
    holder_.store(std::this_thread::get_id());
    held_.store(true);
    return data_.get();
}

void TSharedBuffer::Release() {
    if (!heldByMe())
        return;
    held_.store(false);
    holder_.store(std::thread::id{});
    lock_.unlock();
}

} // namespace telvor
