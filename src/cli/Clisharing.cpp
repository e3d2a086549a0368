#include "cli/Clisharing.h"

#include "app/Appinfo.h"
#include "cli/Clinmea.h"
#include "cli/Clisession.h"
#include "info/Reportfile.h"
#include "protocol/Numbers.h"
#include "settings/Profile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>

#include <ostream>

namespace telvor {

TCliSharing::TCliSharing(TProfile& profile, std::ostream& err) : err_(err) {
    sharing_.configure(readSharingConfig(profile));
    TTCPSharing::THooks hooks;
    hooks.serverLost = [this] { fail("The sharing server closed the connection"); };
    hooks.busy = [this](const std::string& line) { fail(line); };
    sharing_.setHooks(hooks);
    sharing_.install();
}

void TCliSharing::override(const std::string& host, int port, const std::string* password) {
    TSharingConfig c = sharing_.config();
    if (!host.empty())
        c.host = host;
    if (port > 0)
        c.port = port;
    if (password)
        c.password = *password;
    sharing_.configure(c);
}

void TCliSharing::startClient() {
    sharing_.AttemptClient();
}

bool TCliSharing::latencyKnown() const {
    if (sharing_.keyRejected() && !failed_)
        fail("Wrong password: the server's packets do not decode");
    return sharing_.latencyKnown();
}

void TCliSharing::fail(const std::string& text) const {
    if (failed_)
        return;
    failed_ = true;
    err_ << text << std::endl;
    if (session_)
        session_->shutdown();
    requestCliStop();
}

// ---------------------------------------------------------------------------------------------

namespace {

bool parsePort(const std::string& text, int& port) {
    const auto v = parseInteger(text, 1, 65535);
    if (v)
        port = static_cast<int>(*v);
    return v.has_value();
}

} // namespace

int runServe(TCliContext& ctx) {
    TSharingConfig config = readSharingConfig(ctx.profile);
    if (ctx.has("listen-port") && !parsePort(ctx.options["listen-port"], config.port))
        return usageError(ctx.err, "bad --listen-port \"" + ctx.options["listen-port"] +
                                       "\": use 1 to 65535");
    if (ctx.has("bind"))
        config.bindAddress = ctx.options["bind"];
    if (ctx.sharingPassword)
        config.password = *ctx.sharingPassword;
    config.greeting = sharingGreeting();
    // Without a password the key is public and any client controls the receiver.
    const bool loopback = !config.bindAddress.empty() &&
                          QHostAddress(QString::fromStdString(config.bindAddress)).isLoopback();
    if (config.password.empty() && !loopback && !ctx.has("no-password"))
        return usageError(ctx.err, "serve needs a sharing password (--password): without one "
                                   "any client controls the receiver; --no-password serves "
                                   "anyway, --bind 127.0.0.1 serves this computer only");

    TCliNmea nmea(ctx);
    if (const int code = nmea.start())
        return code;
    TCliView view(ctx.err, ctx.verbose, ctx.progress);
    TSession session(ctx.profile, view);
    {
        TRunning running(session);
        TCliContext serverCtx = ctx;
        // NMEA needs the monitoring messages: "Display data" on.
        serverCtx.overrides = [o = ctx.overrides, nmea = nmea.wanted()](TConnectionSettings& s) {
            o(s);
            s.mode = cmInternetServer;
            s.displayData = nmea;
        };
        if (!connectSession(serverCtx, session))
            return 1;
    }
    TTCPSharing sharing;
    sharing.configure(config);
    TTCPSharing::THooks hooks;
    hooks.status = [&ctx](const std::string& line) {
        if (ctx.verbose)
            ctx.err << line << std::endl;
    };
    sharing.setHooks(hooks);
    sharing.install();
    if (!sharing.StartSharing(TTCPSharing::TRole::Server)) {
        const auto& lines = sharing.statusLines();
        ctx.err << "Can't start the server: " << (lines.empty() ? "" : lines.back()) << std::endl;
        sharing.uninstall();
        session.disconnect();
        return 1;
    }
    ctx.err << "Serving on port " << sharing.serverPort() << std::endl;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (cliStopRequested() || !session.connected())
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    sharing.StopSharing();
    sharing.uninstall();
    if (session.connected())
        session.disconnect();
    return 0;
}

} // namespace telvor
