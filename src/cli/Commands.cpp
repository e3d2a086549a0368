#include "cli/Commands.h"

#include "app/Ports.h"
#include "cli/Cliview.h"
#include "cli/Livemonitor.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"

#include <atomic>
#include <ostream>
#include <unistd.h>

namespace telvor {
namespace {

// A session whose search or wait a signal ends, and whether a signal came at all.
std::atomic<TSession*> gRunning{nullptr};
std::atomic<bool> gStop{false};

// A search may not stop by itself (AutoRun keeps searching); the terminal gets its answer.
constexpr int kSearchLimitMs = 120000;

class TRunning {
public:
    explicit TRunning(TSession& s) { gRunning = &s; }
    ~TRunning() { gRunning = nullptr; }
};

bool connectSession(TCliContext& ctx, TSession& session) {
    session.setSettingsHook(ctx.overrides);
    session.setSearchLimit(kSearchLimitMs);
    if (session.connect())
        return true;
    ctx.err << (session.lastError().empty() ? "Can't find receiver" : session.lastError())
            << std::endl;
    return false;
}

} // namespace

void requestCliStop() {
    gStop = true;
    if (TSession* s = gRunning.load())
        s->shutdown();
}

int runPorts(TCliContext& ctx) {
    for (const auto& port : dialogPorts()) {
        ctx.out << port.name;
        if (port.label != port.name)
            ctx.out << "\t" << port.label;
        ctx.out << "\n";
    }
    ctx.out.flush();
    return 0;
}

int runConnect(TCliContext& ctx) {
    TCliView view(ctx.err, ctx.verbose);
    TSession session(ctx.profile, view);
    TRunning running(session);
    if (!connectSession(ctx, session))
        return 1;
    // The receiver stops its messages while we read its identity.
    session.pauseMonitoring();
    std::string serial = PrintParameter("/par/rcv/sn", "", 2000);
    const auto& id = session.identity();
    ctx.out << "Model:    " << id.model << "\n"
            << "Serial:   " << serial << "\n"
            << "ID:       " << id.id << "\n"
            << "Firmware: " << id.firmware << "\n"
            << "Port:     " << session.settings().port;
    if (!id.port.empty())
        ctx.out << " (receiver port " << id.port << ")";
    ctx.out << "\n";
    if (std::uint32_t speed = session.pcSpeed())
        ctx.out << "Speed:    " << speed << "\n";
    ctx.out.flush();
    session.disconnect();
    return 0;
}

int runSend(TCliContext& ctx, const std::string& command) {
    TCliView view(ctx.err, ctx.verbose);
    TSession session(ctx.profile, view);
    TRunning running(session);
    if (!connectSession(ctx, session))
        return 1;
    session.pauseMonitoring();
    // Without an id of its own the line gets "%%", so that the value starts at offset 7.
    const bool ownId = !command.empty() && command[0] == '%';
    TReply reply =
        SendAndWait(ownId ? command : "%%" + command, std::max(2000, session.settings().timeout));
    int code = 0;
    if (reply == TReply::RE) {
        ctx.out << ReplyText(ownId ? 5 : 7) << std::endl;
    } else if (reply == TReply::ER) {
        ctx.err << "ER: " << ReplyText(5) << std::endl;
        code = 1;
    } else {
        ctx.err << "The receiver didn't reply!" << std::endl;
        code = 1;
    }
    session.disconnect();
    return code;
}

int runMonitor(TCliContext& ctx, const TMonitorOptions& options) {
    if (!ctx.bridge)
        return 1;
    TLiveMonitor::TOptions shown;
    shown.json = options.json;
    shown.clearScreen = !options.json && ::isatty(STDOUT_FILENO);
    TLiveMonitor live(ctx.profile, *ctx.bridge, ctx.out, ctx.err, ctx.verbose, shown);
    TSession& session = live.session();
    {
        TRunning running(session); // a signal ends the search
        if (!connectSession(ctx, session))
            return 1;
    }
    // From here a signal only ends the loop, so that the disconnect still takes its time to
    // restore the receiver's elevation mask and port.
    int code = live.run(options.seconds, [] { return gStop.load(); });
    if (session.connected())
        session.disconnect();
    return code;
}

} // namespace telvor
