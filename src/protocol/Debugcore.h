#pragma once
// The debug window's state, apart from the window: the list of lines, the error counters and
// the pending-error slot through which other threads report communication errors. Any
// thread may post an error; it only touches the slot and posts a code to the debug window,
// which takes the error on the user-interface thread. The Qt window renders what this holds.
#include "protocol/Bridge.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace telvor {

class TDebugCore {
public:
    static constexpr std::size_t kMaxLines = 100;

    // Any thread. Appends " at " + the receiver time shown (when the time source gives one),
    // keeps the text as the pending error and, if none was pending, wakes the debug window.
    void postError(const std::string& text);

    // User-interface thread: the handler of kPendingErrorCode. Shows the latest pending text
    // once but counts every post; returns false when nothing was pending.
    bool takePendingError();
    void handleCode(std::uint32_t code) {
        if (code == kPendingErrorCode)
            takePendingError();
    }

    // A line in the list, only while visible; the oldest lines go beyond kMaxLines.
    void showLine(const std::string& text);
    // Counts an error and keeps it in the list (also while hidden); while visible the counter
    // shows at once, else when the window opens.
    void showError(const std::string& text);
    // "Clear list": empties the list and restarts the counter at 0 (the total stays).
    void clear();

    void setVisible(bool visible);
    bool visible() const { return visible_.load(std::memory_order_relaxed); }
    // "Show all commands": the command engine echoes every line it sends.
    void setShowAllCommands(bool on) { showAllCommands_.store(on, std::memory_order_relaxed); }
    bool showAllCommands() const { return showAllCommands_.load(std::memory_order_relaxed); }

    // The receiver time currently shown (real-time window, else the main window's label).
    // Called from any thread, so it must return a copy kept under its own lock.
    void setTimeSource(std::function<std::string()> source);
    // While the real-time window exists: shows "text (total)" in its status (UI thread).
    void setRealTimeStatus(std::function<void(const std::string&)> sink);
    // Called after the list or the counter label changed (UI thread), for the window.
    void setOnChange(std::function<void()> onChange);

    // For the window and tests.
    std::vector<std::string> lines() const;
    std::string counterLabel() const; // text of ErrorCountLabel
    long errorCount() const;
    long totalErrors() const;
    int pendingCount() const;

private:
    void notify();
    void addLineLocked(const std::string& text);

    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::string counterLabel_ = "0";
    long errorCount_ = 0;
    long totalErrors_ = 0;
    std::string pendingText_;
    int pendingCount_ = 0;
    std::function<std::string()> timeSource_;
    std::function<void(const std::string&)> realTimeStatus_;
    std::function<void()> onChange_;
    std::atomic<bool> visible_{false};
    std::atomic<bool> showAllCommands_{false};
};

// The program's debug window state.
TDebugCore& debugCore();

// Which settings make the window visible at start-up (Debug/ShowCommErrors,
// Debug/ShowDebugWindow); `rememberShown` asks to write Debug/ShowDebugWindow = 1.
struct TDebugVisibility {
    bool visible = false;
    bool rememberShown = false;
};
constexpr TDebugVisibility debugWindowVisibility(bool showCommErrors, bool showDebugWindow) {
    if (showCommErrors)
        return {true, true};
    return {showDebugWindow, false};
}

} // namespace telvor
