#pragma once
// `telvor-cli monitor`: the session with its monitor, as the main window runs them, printed
// once per epoch (the display tick at each epoch end; every tick for a receiver that sends no
// epoch ends) as text or as one JSON object per line.
#include "app/Mainmonitor.h"
#include "app/Session.h"
#include "cli/Cliview.h"

#include <QTimer>
#include <functional>
#include <iosfwd>

namespace telvor {

class TQtBridge;

class TLiveMonitor : public TCliView {
public:
    struct TOptions {
        bool json = false;
        // Text output to a terminal: each tick replaces the previous one on the screen.
        bool clearScreen = false;
        bool progress = false; // status texts on standard error
    };

    TLiveMonitor(TProfile& profile, TQtBridge& bridge, std::ostream& out, std::ostream& err,
                 bool verbose, TOptions options);
    ~TLiveMonitor() override;

    TSession& session() { return session_; }
    TMainMonitor& monitor() { return monitor_; }

    // After a connect: prints the monitor until `stopped` says so, `seconds` have passed (0: no
    // limit) or the output is closed (`| head`). 0 then, 1 when the receiver went silent and
    // the watchdog disconnected it.
    int run(int seconds, const std::function<bool()>& stopped);

    void setMonitorTimer(bool on) override;
    void sessionStarted() override { monitor_.sessionStarted(); }

private:
    void tick(bool epochEnd);

    TQtBridge& bridge_;
    std::ostream& out_;
    std::ostream& err_;
    TOptions options_;
    TSession session_;
    TMainMonitor monitor_;
    QTimer timer_;
    bool silent_ = false;
    bool outputClosed_ = false;
    bool sawEpochEnd_ = false;
};

} // namespace telvor
