// `telvor-cli log`: the logging window's driver for unattended stations, options in and texts
// on standard error out. The driver keeps logging across link loss (the search never gives
// up, the series goes on after a reconnect); a signal ends the run cleanly, closing and
// converting the last file; a write error or a refused restart ends it with exit code 1.
#include "cli/Logcommand.h"

#include "app/Qtbridge.h"
#include "cli/Clinmea.h"
#include "cli/Clisession.h"
#include "cli/Cliview.h"
#include "protocol/Bridge.h"
#include "protocol/Link.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"
#include "rtlog/Logdriver.h"
#include "settings/Profile.h"

#include <chrono>
#include <climits>
#include <filesystem>
#include <ostream>
#include <thread>

namespace telvor {
namespace {

class TCliLogHost : public TLogDriverHost {
public:
    explicit TCliLogHost(std::ostream& err) : err_(err) {}
    void setStatus(const std::string& text) override {
        if (text.find_first_not_of(' ') != std::string::npos)
            err_ << text << std::endl;
    }
    // --overwrite is the answer to the question.
    bool confirm(const std::string&) override { return true; }

private:
    std::ostream& err_;
};

// The options as a start request; empty on success, else the usage text.
std::string readRequest(TCliContext& ctx, TStartRequest& r) {
    auto opt = [&](const char* name) { return ctx.options[name]; };
    if (!ctx.has("dir") || opt("dir").empty())
        return "log needs --dir";
    r.options.folder = std::filesystem::absolute(opt("dir")).string();
    r.options.rememberAutoRun = false;
    const bool series = ctx.has("prefix") || ctx.has("every") || ctx.has("unit") ||
                        ctx.has("numbering") || ctx.has("start-count") || ctx.has("overwrite");
    if (ctx.has("single") && series)
        return "--single takes none of --prefix, --every, --unit, --numbering, --start-count, "
               "--overwrite";
    if (!ctx.has("single") && !ctx.has("prefix"))
        return "log needs --single NAME or --prefix P";
    r.options.multiple = !ctx.has("single");
    r.options.singleName = opt("single");
    r.options.prefix = opt("prefix");
    if (ctx.has("every") && !parseInteger(opt("every"), 0, INT_MAX))
        return "--every takes a whole number";
    r.period = ctx.has("every") ? opt("every") : "1";
    if (ctx.has("start-count") && !parseInteger(opt("start-count"), 0, INT_MAX))
        return "--start-count takes a whole number";
    r.startCount = ctx.has("start-count") ? opt("start-count") : "0";
    const std::string unit = ctx.has("unit") ? opt("unit") : "hours";
    if (unit != "minutes" && unit != "hours" && unit != "days")
        return "--unit takes minutes, hours or days";
    r.options.granularity = unit == "minutes" ? 0 : unit == "hours" ? 1 : 2;
    const std::string numbering = ctx.has("numbering") ? opt("numbering") : "count";
    if (numbering != "count" && numbering != "date")
        return "--numbering takes count or date";
    r.options.numbering = numbering == "date" ? 1 : 0;
    r.options.overwrite = ctx.has("overwrite");
    r.options.convert = ctx.has("convert");
    r.interval = ctx.has("interval") ? opt("interval") : "1";
    return {};
}

class TCliLogger {
public:
    TCliLogger(TCliContext& ctx, TStartRequest request)
        : ctx_(ctx), request_(std::move(request)), view_(ctx.err, ctx.verbose, ctx.progress),
          session_(ctx.profile, view_), host_(ctx.err), driver_(host_, ctx.profile) {
        if (ctx.bridge)
            ctx.bridge->setHandler(TWindowId::RealTime,
                                   [this](std::uint32_t code) { driver_.handleCode(code); });
        driver_.setLink({[this] { return connect(); }, [this] { session_.disconnect(); }, {}});
    }
    ~TCliLogger() {
        if (ctx_.bridge)
            ctx_.bridge->setHandler(TWindowId::RealTime, nullptr);
    }

    // 0 after a signal, 1 when the run ended by itself (a write error, a refused start).
    int run() {
        while (!connect()) {
            // A port that cannot be opened now (a receiver unplugged) may come back.
            for (int i = 0; i < 50 && !cliStopRequested(); ++i)
                pump(100);
            if (cliStopRequested())
                return 0;
        }
        const std::string mask = driver_.open();
        // The window's ELMEdit: the mask the receiver has.
        if (request_.elevationMask.empty())
            request_.elevationMask = mask;
        // The schedule needs the receiver's clock; without it a series just never switches.
        driver_.startWhenClockKnown(request_);
        logUntilStoppedOrEnded();
        const bool ended = !cliStopRequested();
        driver_.close(request_);
        session_.disconnect();
        return ended || !driver_.failure().empty() ? 1 : 0;
    }

private:
    // The AutoRun search: it never gives up until a signal. Each failure is told once until
    // another one comes.
    bool connect() {
        TRunning running(session_);
        session_.setSettingsHook(ctx_.overrides);
        if (session_.reconnectForLogging(0)) {
            lastError_.clear();
            return true;
        }
        const std::string error =
            session_.lastError().empty() ? "Can't find receiver" : session_.lastError();
        if (!cliStopRequested() && error != lastError_)
            ctx_.err << error << std::endl;
        lastError_ = error;
        return false;
    }

    void logUntilStoppedOrEnded() {
        std::uint32_t lastStep = tickCount();
        std::string announced;
        while (!cliStopRequested()) {
            pump(100);
            if (ticksSince(lastStep) >= 1000) {
                lastStep = tickCount();
                driver_.step();
            }
            if (driver_.state() == TLogState::Idle)
                return;
            const std::string file = driver_.log().currentFileName();
            if (!file.empty() && file != announced) {
                announced = file;
                ctx_.err << "Logging to " << file << std::endl;
            }
        }
    }

    void pump(int ms) {
        if (ctx_.bridge)
            ctx_.bridge->processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    TCliContext& ctx_;
    TStartRequest request_;
    TCliView view_;
    TSession session_;
    TCliLogHost host_;
    TLogDriver driver_;
    std::string lastError_;
};

} // namespace

int runLog(TCliContext& ctx) {
    TStartRequest request;
    const std::string usage = readRequest(ctx, request);
    if (!usage.empty())
        return usageError(ctx.err, usage);
    std::error_code ec;
    std::filesystem::create_directories(request.options.folder, ec);
    if (!std::filesystem::is_directory(request.options.folder))
        return usageError(ctx.err, "no such folder: " + request.options.folder);
    if (!ctx.bridge)
        return 1;
    TCliNmea nmea(ctx);
    if (const int code = nmea.start())
        return code;
    TCliLogger logger(ctx, request);
    return logger.run();
}

} // namespace telvor
