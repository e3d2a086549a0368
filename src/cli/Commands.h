#pragma once
// The subcommands of telvor-cli. Each returns the exit code: 0 success, 1 receiver error or
// receiver not found.
#include "app/Session.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace telvor {

class TProfile;
class TQtBridge;

struct TCliContext {
    TProfile& profile;
    std::function<void(TConnectionSettings&)> overrides;
    bool verbose = false;
    std::ostream& out;
    std::ostream& err;
    TQtBridge* bridge = nullptr;
};

int runPorts(TCliContext& ctx);
int runConnect(TCliContext& ctx);
int runSend(TCliContext& ctx, const std::string& command);

struct TMonitorOptions {
    bool json = false;
    int seconds = 0; // 0: until interrupted
};
// Connects, prints the monitor once per display tick, and disconnects cleanly when stopped
// (Ctrl-C, SIGTERM) or after the given time. 1 when the connect failed or the receiver went
// silent.
int runMonitor(TCliContext& ctx, const TMonitorOptions& options);

// Ctrl-C: the running search or wait ends, or the monitor stops; the session is closed cleanly.
// Safe in a signal handler.
void requestCliStop();

} // namespace telvor
