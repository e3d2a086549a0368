#include "protocol/Bridge.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace telvor {

void TUiBridge::waitForEvents(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    processEvents();
}

void TUiBridge::showError(const std::string& title, const std::string& text) {
    std::cerr << title << ": " << text << std::endl;
}

namespace {
TUiBridge* gBridge = nullptr;
}

TUiBridge& uiBridge() {
    if (!gBridge) {
        static TPlainBridge fallback;
        gBridge = &fallback;
    }
    return *gBridge;
}

void setUiBridge(TUiBridge* bridge) {
    gBridge = bridge;
}

TPlainBridge::TPlainBridge() : uiThread_(std::this_thread::get_id()) {}

void TPlainBridge::setHandler(TWindowId target, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[target] = std::move(handler);
}

void TPlainBridge::post(TWindowId target, std::uint32_t code) {
    std::lock_guard lock(mutex_);
    queue_.push_back({[this, target, code] {
        Handler handler;
        {
            std::lock_guard inner(mutex_);
            auto it = handlers_.find(target);
            if (it != handlers_.end())
                handler = it->second;
        }
        if (handler)
            handler(code);
    }});
    cv_.notify_all();
}

void TPlainBridge::runSync(const std::function<void()>& fn) {
    if (isUiThread()) {
        fn();
        return;
    }
    bool finished = false;
    std::unique_lock lock(mutex_);
    queue_.push_back({fn, &finished});
    cv_.notify_all();
    cv_.wait(lock, [&] { return finished; });
}

void TPlainBridge::processEvents() {
    for (;;) {
        Item item;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            item = std::move(queue_.front());
            queue_.pop_front();
        }
        item.fn();
        if (item.finished) {
            std::lock_guard lock(mutex_);
            *item.finished = true;
            cv_.notify_all();
        }
    }
}

void TPlainBridge::waitForEvents(int ms) {
    {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !queue_.empty(); });
    }
    processEvents();
}

bool TPlainBridge::isUiThread() const {
    return std::this_thread::get_id() == uiThread_;
}

bool TPlainBridge::processUntil(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        processEvents();
        if (done())
            return true;
        std::unique_lock lock(mutex_);
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        cv_.wait_until(
            lock,
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(5)),
            [&] { return !queue_.empty(); });
    }
}

} // namespace telvor
