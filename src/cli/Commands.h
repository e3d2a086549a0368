#pragma once
// The subcommands of telvor-cli. Each returns the exit code: 0 success, 1 receiver error or
// receiver not found.
#include "app/Session.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace telvor {

class TProfile;

struct TCliContext {
    TProfile& profile;
    std::function<void(TConnectionSettings&)> overrides;
    bool verbose = false;
    std::ostream& out;
    std::ostream& err;
};

int runPorts(TCliContext& ctx);
int runConnect(TCliContext& ctx);
int runSend(TCliContext& ctx, const std::string& command);

// Ctrl-C: the running search or wait ends, the session is closed cleanly.
void requestCliStop();

} // namespace telvor
