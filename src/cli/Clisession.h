#pragma once
// What the commands of telvor-cli share around a session: the connect with its texts on
// standard error, and the stop that a signal requests.
#include "app/Session.h"
#include "cli/Cliview.h"
#include "cli/Commands.h"

#include <functional>

namespace telvor {

// While it lives, a signal ends the session's search or wait.
class TRunning {
public:
    explicit TRunning(TSession& s);
    ~TRunning();
    TRunning(const TRunning&) = delete;
    TRunning& operator=(const TRunning&) = delete;
};

// Connects with the command line's settings; on failure the reason is on standard error:
// "Stopped" after a signal, the list of ports when none was named anywhere.
bool connectSession(TCliContext& ctx, TSession& session);

// The frame of the commands that talk to the receiver themselves: connect, pause monitoring
// so the replies are theirs, run `work`, disconnect. 1 when no receiver was found.
int withReceiver(TCliContext& ctx, const std::function<int(TSession&)>& work);

} // namespace telvor
