#include "protocol/Debugcore.h"

namespace telvor {

void TDebugCore::postError(const std::string& text) {
    std::function<std::string()> source;
    {
        std::lock_guard lock(mutex_);
        source = timeSource_;
    }
    std::string full = text;
    if (source) {
        // Without a receiver time shown, " at " alone would only be noise.
        auto shown = source();
        if (!shown.empty())
            full += " at " + shown;
    }
    bool wake;
    {
        std::lock_guard lock(mutex_);
        pendingText_ = std::move(full);
        wake = pendingCount_++ == 0;
    }
    if (wake)
        uiBridge().post(TWindowId::Debug, kPendingErrorCode);
}

bool TDebugCore::takePendingError() {
    std::string text;
    std::function<void(const std::string&)> status;
    long total;
    {
        std::lock_guard lock(mutex_);
        if (pendingCount_ == 0)
            return false;
        text = std::move(pendingText_);
        pendingText_.clear();
        errorCount_ += pendingCount_ - 1;
        totalErrors_ += pendingCount_ - 1;
        pendingCount_ = 0;
        status = realTimeStatus_;
    }
    showError(text);
    {
        std::lock_guard lock(mutex_);
        total = totalErrors_;
    }
    if (status)
        status(text + " (" + std::to_string(total) + ")");
    return true;
}

void TDebugCore::showLine(const std::string& text) {
    if (!visible())
        return;
    {
        std::lock_guard lock(mutex_);
        addLineLocked(text);
    }
    notify();
}

// Errors are kept while the window is hidden too: a counter that opens on an empty list
// would say that something went wrong without saying what.
void TDebugCore::showError(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        ++errorCount_;
        ++totalErrors_;
        addLineLocked(text);
        if (!visible())
            return;
        counterLabel_ = std::to_string(errorCount_);
    }
    notify();
}

void TDebugCore::addLineLocked(const std::string& text) {
    while (lines_.size() > kMaxLines)
        lines_.pop_front();
    lines_.push_back(text);
}

void TDebugCore::clear() {
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
        errorCount_ = 0;
        counterLabel_ = "0";
    }
    notify();
}

void TDebugCore::setVisible(bool visible) {
    visible_.store(visible, std::memory_order_relaxed);
    if (!visible)
        return;
    {
        std::lock_guard lock(mutex_);
        counterLabel_ = std::to_string(errorCount_); // catch up with errors counted while hidden
    }
    notify();
}

void TDebugCore::setTimeSource(std::function<std::string()> source) {
    std::lock_guard lock(mutex_);
    timeSource_ = std::move(source);
}

void TDebugCore::setRealTimeStatus(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    realTimeStatus_ = std::move(sink);
}

void TDebugCore::setOnChange(std::function<void()> onChange) {
    std::lock_guard lock(mutex_);
    onChange_ = std::move(onChange);
}

void TDebugCore::notify() {
    std::function<void()> onChange;
    {
        std::lock_guard lock(mutex_);
        onChange = onChange_;
    }
    if (onChange)
        onChange();
}

std::vector<std::string> TDebugCore::lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

std::string TDebugCore::counterLabel() const {
    std::lock_guard lock(mutex_);
    return counterLabel_;
}

long TDebugCore::errorCount() const {
    std::lock_guard lock(mutex_);
    return errorCount_;
}

long TDebugCore::totalErrors() const {
    std::lock_guard lock(mutex_);
    return totalErrors_;
}

int TDebugCore::pendingCount() const {
    std::lock_guard lock(mutex_);
    return pendingCount_;
}

TDebugCore& debugCore() {
    static TDebugCore core;
    return core;
}

} // namespace telvor
