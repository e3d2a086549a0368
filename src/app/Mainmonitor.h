#pragma once
// The session's monitor: the decoders, display tick and plot store of TMonitor, hosted by the
// session (link, silence watchdog, Disconnect). The main window and `telvor-cli monitor` each
// run one and render its view their own way.
#include "monitor/Monitor.h"

#include <functional>
#include <memory>

namespace telvor {

class TProfile;
class TSession;

class TMainMonitor : public TMonitorHost {
public:
    struct THooks {
        // Switches the owner's MonitorTimer.
        std::function<void(bool on)> setTimer;
        // The view changed since it was last rendered.
        std::function<void(const TMonitorView& view)> render;
        std::function<void()> beep;
    };

    TMainMonitor(TSession& session, TProfile& profile, THooks hooks);
    ~TMainMonitor() override;

    // The display tick: MonitorTimer or "SYNC" (both with a sender); the view is rendered
    // when it changed.
    TMonitorDisplay::TTick tick();
    // Renders the view if it changed (a target typed in, monitoring left, a column click).
    void showView();
    // A session started: the plot histories start afresh (the plot windows redraw as well
    // when they exist).
    void sessionStarted();
    TMonitor& monitor() { return *monitor_; }

    bool hasLink() override;
    bool directConnection() override;
    std::uint32_t silenceMs() override;
    void reconnect() override;
    void disconnect() override;
    std::string linkLost() override;
    // Why the last session ended by itself: the link's loss; empty after silence or none.
    const std::string& lostReason() const { return lost_; }
    bool beepOnDisconnect() override;
    void beep() override;
    void debugLine(const std::string& text) override;
    void setTimerEnabled(bool on) override;

private:
    TSession& session_;
    TProfile& profile_;
    THooks hooks_;
    std::string lost_;
    TLatestSlotSource slotSource_;
    std::unique_ptr<TMonitor> monitor_;
    std::uint64_t shown_ = ~0ull;
};

} // namespace telvor
