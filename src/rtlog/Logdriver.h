#pragma once
// The one driver of a logging run, used by the "Real-Time Logging" window and by
// `telvor-cli log`: the opening steps, the 1 s step, the codes posted to the logging window,
// Start and Stop, a lost receiver searched for and the series continued in a new file, and
// the close with its settings. The window and the command only turn controls or options into
// a TStartRequest and show what the driver reports.
#include "rtlog/Realtimelog.h"

#include <cstdint>
#include <functional>
#include <string>

namespace telvor {

// The plot windows that are open: their messages join the monitor list.
struct TLogPlots {
    bool satellites = false;
    bool positions = false; // the position or the scatter plot
    bool operator==(const TLogPlots&) const = default;
};

// How a lost receiver is found again: the window's session or telvor-cli's.
struct TLogLink {
    // One connect attempt; true when the receiver answers again, with monitoring paused.
    std::function<bool()> reconnect;
    // Closes what is left of the lost link (the session's Disconnect).
    std::function<void()> drop;
    // Ends a search that runs (Stop pressed while searching).
    std::function<void()> cancel;
};

class TLogDriverHost : public TRealTimeHost {
public:
    // "AUTO"/"STRT": the window presses Start with what its controls hold.
    virtual void pressStart() {}
    // The state changed (the Start/Stop button, the option controls).
    virtual void stateChanged() {}
};

enum class TLogState {
    Idle,
    Running,
    Searching,  // the receiver was lost; the run goes on once it answers again
    Restarting, // it answers; Start waits for its clock
};

class TLogDriver : private TRealTimeHost {
public:
    // Without a byte for this long while logging, the receiver counts as lost.
    static constexpr std::uint32_t kSilenceMs = 20000;
    // How long a start after a reconnect waits for the receiver's clock (the schedule).
    static constexpr std::uint32_t kClockWaitMs = 5000;

    TLogDriver(TLogDriverHost& host, TProfile& profile);
    ~TLogDriver() override;
    TLogDriver(const TLogDriver&) = delete;
    TLogDriver& operator=(const TLogDriver&) = delete;

    void setLink(TLogLink link) { link_ = std::move(link); }
    // Asked whenever the monitor list goes out, and on every idle step.
    void setPlots(std::function<TLogPlots()> plots) { plots_ = std::move(plots); }

    // The opening steps: the engine takes the stream, monitoring with this window's list and
    // the timer on (not in test mode); a stored AutoRun presses Start on the first step.
    // Returns the receiver's terminal mask for `ELMEdit`.
    std::string open();
    // Start while idle; false with the reason in the status and in fault().
    bool start(const TStartRequest& request);
    // Start on a later step, once the receiver's clock is known (or kClockWaitMs passed).
    void startWhenClockKnown(const TStartRequest& request);
    // Stop: the run ends (waiting for the last conversion while events run) or the search.
    void stop();
    // Every 1000 ms while timerOn(), and on "SYNC".
    void step();
    // "SYNC", "AUTO"/"STRT" and "DETH".
    void handleCode(std::uint32_t code);
    // Not while a run or a search goes on (unless the output path page is shown), never
    // while Stop waits for a conversion.
    bool mayClose(bool outputPageShown) const;
    // The window's close: the run stopped, the receiver silenced, input mode idle, the
    // settings of `controls` stored and AutoRun cleared.
    void close(const TStartRequest& controls);

    TLogState state() const { return state_; }
    bool timerOn() const { return timerOn_; }
    // What ended the last run by itself: a write error, a refused restart; empty otherwise.
    const std::string& failure() const { return failure_; }
    TStartFault fault() const { return log_.fault(); }
    const TStartRequest& request() const { return log_.request(); }
    TRealTimeLog& log() { return log_; }
    const TRealTimeLog& log() const { return log_; }

private:
    bool begin(const TStartRequest& request);
    void setState(TLogState state);
    void beginMonitor();
    void followPlots();
    std::string lostReason();
    void onLost(const std::string& reason);
    void search();
    void restart();
    void runningStep();
    void ended(const std::string& failure);

    // TRealTimeHost, forwarded to the window or the command.
    void setStatus(const std::string& text) override;
    bool confirm(const std::string& text) override;
    TFileQuestions* fileQuestions() override;
    void afterStop() override;
    void monitorTick() override { host_.monitorTick(); }
    void showConvertWait(bool visible) override { host_.showConvertWait(visible); }
    void waitSlice() override { host_.waitSlice(); }
    void labelsChanged() override { host_.labelsChanged(); }

    TLogDriverHost& host_;
    TProfile& profile_;
    TRealTimeLog log_;
    TLogLink link_;
    std::function<TLogPlots()> plots_;
    TLogPlots sentPlots_;
    TLogState state_ = TLogState::Idle;
    TStartRequest pending_; // the start of Restarting
    std::string failure_, lastStatus_;
    std::uint64_t lastBytes_ = 0;
    std::string lastFile_;
    std::uint32_t lastData_ = 0, restartTick_ = 0;
    bool timerOn_ = false, opened_ = false, autoRun_ = false;
    bool inStep_ = false, stopping_ = false, unattended_ = false, lost_ = false;
};

} // namespace telvor
