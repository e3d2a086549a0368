#include "cli/Clisession.h"

#include "app/Ports.h"
#include "cli/Clisharing.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <atomic>
#include <ostream>

namespace telvor {
namespace {

std::atomic<TSession*> gRunning{nullptr};
std::atomic<bool> gStop{false};

// A search may not stop by itself (AutoRun keeps searching); the terminal gets its answer.
constexpr int kSearchLimitMs = 120000;

// Neither --port nor telvor.ini names the port of a local link: the default would be a guess.
bool portUnnamed(TCliContext& ctx) {
    TConnectionSettings s = readConnectionSettings(ctx.profile);
    s.port.clear();
    ctx.overrides(s);
    if (s.mode == cmInternetClient || !s.port.empty())
        return false;
    return ctx.profile.readString(keys::CommPort.section, keys::CommPort.name, "").empty();
}

} // namespace

void requestCliStop() {
    gStop = true;
    if (TSession* s = gRunning.load())
        s->shutdown();
}

bool cliStopRequested() {
    return gStop;
}

TRunning::TRunning(TSession& s) {
    gRunning = &s;
    if (gStop)
        s.shutdown();
}

TRunning::~TRunning() {
    gRunning = nullptr;
}

bool connectSession(TCliContext& ctx, TSession& session) {
    if (portUnnamed(ctx)) {
        ctx.err << "No port given (--port) and none in " << ctx.profile.fileName()
                << ". Ports here:\n";
        printPorts(ctx.err);
        return false;
    }
    session.setSettingsHook(ctx.overrides);
    if (ctx.sharing) {
        ctx.sharing->attach(&session);
        session.setSharing(ctx.sharing);
    }
    session.setSearchLimit(kSearchLimitMs);
    if (session.connect())
        return true;
    // A sharing client that gave up has said why (a wrong password, a busy or lost server).
    if (ctx.sharing && ctx.sharing->failed())
        return false;
    if (gStop)
        ctx.err << "Stopped" << std::endl;
    else
        ctx.err << (session.lastError().empty() ? "Can't find receiver" : session.lastError())
                << std::endl;
    return false;
}

int withReceiver(TCliContext& ctx, const std::function<int(TSession&)>& work) {
    TCliView view(ctx.err, ctx.verbose, ctx.progress);
    TSession session(ctx.profile, view);
    TRunning running(session);
    if (!connectSession(ctx, session))
        return 1;
    session.pauseMonitoring();
    const int code = work(session);
    session.disconnect();
    return code;
}

} // namespace telvor
