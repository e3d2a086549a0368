#pragma once
// The monitor of the main window: the decoders, display tick and plot store of TMonitor,
// hosted by the session (link, watchdog, Disconnect) and rendered into the monitor panel.
#include "monitor/Monitor.h"

#include <functional>
#include <memory>

class TMonitorPanel;

namespace telvor {

class TProfile;
class TSession;

class TMainMonitor : public TMonitorHost {
public:
    // `setTimer` switches the main window's MonitorTimer.
    TMainMonitor(TSession& session, TProfile& profile, TMonitorPanel& panel,
                 std::function<void(bool)> setTimer);
    ~TMainMonitor() override;

    // The display tick: MonitorTimer or "SYNC" (both with a sender).
    void tick();
    // A session started: the plot histories start afresh.
    void sessionStarted();
    TMonitor& monitor() { return *monitor_; }

    bool hasLink() override;
    bool directConnection() override;
    std::uint32_t silenceMs() override;
    void reconnect() override;
    void disconnect() override;
    bool beepOnDisconnect() override;
    void beep() override;
    void debugLine(const std::string& text) override;
    void setTimerEnabled(bool on) override;

private:
    TSession& session_;
    TProfile& profile_;
    TMonitorPanel& panel_;
    std::function<void(bool)> setTimer_;
    TLatestSlotSource slots_;
    std::unique_ptr<TMonitor> monitor_;
    std::uint64_t shown_ = ~0ull;
};

} // namespace telvor
