#pragma once
// The commands of telvor-cli and what they are given. Each returns the exit code: 0 success,
// 1 receiver or file error, 2 usage.
#include "app/Session.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace telvor {

class TProfile;
class TQtBridge;
class TCliSharing;

struct TCliContext {
    TProfile& profile;
    std::function<void(TConnectionSettings&)> overrides;
    bool verbose = false;
    // The search's status texts go to standard error (a terminal sees the search go on).
    bool progress = false;
    std::ostream& out;
    std::ostream& err;
    TQtBridge* bridge = nullptr;
    // The words after the command's name, and those of its own options that were given
    // (a flag maps to an empty text).
    std::vector<std::string> args;
    std::map<std::string, std::string> options;
    // --password, also the sharing password of a client or of `serve`.
    std::optional<std::string> sharingPassword = {};
    // With --mode client (or Comm/ConnectionType 1): the sharing client every session uses.
    TCliSharing* sharing = nullptr;

    bool has(const std::string& option) const { return options.count(option) != 0; }
};

// "telvor-cli: <text>" and a pointer to --help on standard error; the usage exit code.
int usageError(std::ostream& err, const std::string& text);

// One port a line: the name the factory takes, then what the dialog shows when it differs.
void printPorts(std::ostream& out);

int runPorts(TCliContext& ctx);
int runConnect(TCliContext& ctx);
int runSend(TCliContext& ctx);
// Converts raw files to RINEX with the logging's converter settings; no receiver needed.
int runRinex(TCliContext& ctx);
// Connects, prints the monitor once per display tick, and disconnects cleanly when stopped
// (Ctrl-C, SIGTERM, a closed standard output) or after --seconds. 1 when the connect failed
// or the link was lost.
int runMonitor(TCliContext& ctx);

// Ctrl-C: the running search or wait ends, or the monitor stops; the session is closed cleanly.
// Safe in a signal handler.
void requestCliStop();
bool cliStopRequested();

} // namespace telvor
