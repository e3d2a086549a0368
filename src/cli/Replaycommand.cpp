// `telvor-cli replay`: the session's monitor on a recording, printed as `monitor` prints it;
// what the stream lost goes to standard error at the end.
#include "cli/Replaycommand.h"

#include "cli/Clinmea.h"
#include "cli/Livemonitor.h"
#include "links/Replayconnection.h"
#include "protocol/Numbers.h"

#include <ostream>
#include <unistd.h>

namespace telvor {

std::optional<double> parseReplaySpeed(const std::string& text) {
    if (text == "max")
        return TReplayPacer::kAsFastAsPossible;
    const auto v = parseNumber(text);
    if (!v || *v <= 0 || *v > 1e6)
        return std::nullopt;
    return *v;
}

int runReplay(TCliContext& ctx) {
    double speed = 1;
    if (ctx.has("speed")) {
        const std::string& text = ctx.options["speed"];
        const auto v = parseReplaySpeed(text);
        if (!v)
            return usageError(ctx.err, "bad --speed \"" + text +
                                           "\": use a factor above 0 (1 is real time) or max");
        speed = *v;
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
    if (!session.openRecording(ctx.args[0])) {
        ctx.err << session.lastError() << std::endl;
        return 1;
    }
    if (TReplayConnection* link = CurrentReplay())
        link->setSpeed(speed);
    const int code = live.run(0, [] {
        const TReplayConnection* link = CurrentReplay();
        return cliStopRequested() || !link || link->status().finished;
    });
    if (TReplayConnection* link = CurrentReplay())
        ctx.err << replaySummary(*link) << std::endl;
    if (session.connected())
        session.disconnect();
    return code;
}

} // namespace telvor
