// `telvor-cli monitor`: the live monitor until a signal, --seconds or a closed output.
#include "cli/Clinmea.h"
#include "cli/Clisession.h"
#include "cli/Livemonitor.h"
#include "protocol/Numbers.h"

#include <cstdlib>
#include <unistd.h>

namespace telvor {

int runMonitor(TCliContext& ctx) {
    int seconds = 0;
    if (ctx.has("seconds")) {
        const std::string& text = ctx.options["seconds"];
        const auto v = parseInteger(text, 1, 31 * 86400);
        if (!v)
            return usageError(ctx.err, "bad --seconds \"" + text +
                                           "\": use whole seconds from 1 to 2678400 (31 days)");
        seconds = static_cast<int>(*v);
    }
    if (!ctx.bridge)
        return 1;
    TCliNmea nmea(ctx);
    if (const int code = nmea.start())
        return code;
    TLiveMonitor::TOptions shown;
    shown.json = ctx.has("json");
    shown.clearScreen = !shown.json && ::isatty(STDOUT_FILENO);
    shown.progress = ctx.progress;
    TLiveMonitor live(ctx.profile, *ctx.bridge, ctx.out, ctx.err, ctx.verbose, shown);
    TSession& session = live.session();
    {
        TRunning running(session); // a signal ends the search
        if (!connectSession(ctx, session))
            return 1;
    }
    // From here a signal only ends the loop, so that the disconnect still takes its time to
    // restore the receiver's elevation mask and port.
    int code = live.run(seconds, [] { return cliStopRequested(); });
    if (session.connected())
        session.disconnect();
    return code;
}

} // namespace telvor
