// `telvor-cli log`: the real-time logging engine without its window, for unattended stations.
// It keeps logging across link loss (the search never gives up, logging starts again after a
// reconnect) and ends cleanly on a signal, closing and converting the last file.
#include "cli/Logcommand.h"

#include "app/Qtbridge.h"
#include "cli/Clisession.h"
#include "cli/Cliview.h"
#include "protocol/Bridge.h"
#include "protocol/Link.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"
#include "rtlog/Realtimelog.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <chrono>
#include <climits>
#include <filesystem>
#include <ostream>
#include <thread>

namespace telvor {
namespace {

// Without a byte for this long while logging, the link counts as lost.
constexpr std::uint32_t kSilenceMs = 20000;

class TCliLogHost : public TRealTimeHost {
public:
    explicit TCliLogHost(std::ostream& err) : err_(err) {}
    void setStatus(const std::string& text) override {
        if (text.find_first_not_of(' ') != std::string::npos)
            err_ << text << std::endl;
        last = text;
    }
    // --overwrite is the answer to the question.
    bool confirm(const std::string&) override { return true; }
    std::string last;

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
          session_(ctx.profile, view_), host_(ctx.err), log_(host_, ctx.profile) {
        if (ctx.bridge) {
            ctx.bridge->setHandler(TWindowId::RealTime, [this](std::uint32_t code) {
                if (code == kSyncCode && log_.running())
                    log_.timerStep();
                else if (code == kConversionEndedCode)
                    log_.conversionsEnded();
            });
        }
        log_.attach();
    }
    ~TCliLogger() {
        if (ctx_.bridge)
            ctx_.bridge->setHandler(TWindowId::RealTime, nullptr);
    }

    int run() {
        bool everStarted = false;
        std::string lastError;
        while (!cliStopRequested()) {
            if (!connect(lastError)) {
                // A port that cannot be opened now (a receiver unplugged) may come back.
                for (int i = 0; i < 50 && !cliStopRequested(); ++i)
                    pump(100);
                continue;
            }
            lastError.clear();
            if (!startLogging()) {
                // A refused start is the station's setup, not the link: nothing to wait for.
                session_.disconnect();
                return everStarted ? 0 : 1;
            }
            everStarted = true;
            const bool lost = logUntilStoppedOrLost();
            log_.stop(!lost);
            session_.disconnect();
            if (!lost)
                break;
            request_.startCount = std::to_string(log_.startCount());
        }
        ctx_.profile.write(keys::RealTimeAutoRun, false);
        return everStarted || cliStopRequested() ? 0 : 1;
    }

private:
    // The AutoRun search: it never gives up until a signal.
    // Each failure is told once until another one comes.
    bool connect(std::string& lastError) {
        TRunning running(session_);
        session_.setSettingsHook(ctx_.overrides);
        session_.setSearchLimit(0);
        ctx_.profile.write(keys::RealTimeAutoRun, true);
        if (session_.connect())
            return true;
        const std::string error =
            session_.lastError().empty() ? "Can't find receiver" : session_.lastError();
        if (!cliStopRequested() && error != lastError)
            ctx_.err << error << std::endl;
        lastError = error;
        return false;
    }

    bool startLogging() {
        beginRealTimeMonitor(false, false);
        // The schedule needs the receiver's clock; without it a series just never switches.
        const std::uint32_t begun = tickCount();
        while (log_.receiverSeconds() < 0 && ticksSince(begun) < 5000 && !cliStopRequested())
            pump(50);
        if (cliStopRequested())
            return false;
        if (!log_.start(request_))
            return false;
        ctx_.err << "Logging to " << log_.currentFileName() << std::endl;
        return true;
    }

    // True when the link was lost, false on a signal or a write error that ended the run.
    bool logUntilStoppedOrLost() {
        std::string file = log_.currentFileName();
        std::uint64_t bytes = 0;
        std::uint32_t lastData = tickCount(), lastStep = tickCount();
        while (!cliStopRequested()) {
            pump(100);
            if (ticksSince(lastStep) >= 1000) {
                lastStep = tickCount();
                log_.timerStep();
            }
            if (!log_.running())
                return false;
            if (log_.currentFileName() != file) {
                file = log_.currentFileName();
                ctx_.err << "Logging to " << file << std::endl;
                lastData = tickCount();
            }
            if (log_.bytesWritten() != bytes) {
                bytes = log_.bytesWritten();
                lastData = tickCount();
            }
            TReceiverConnection* link = CurrentConnection;
            std::string lost;
            if (!link)
                lost = "the link was closed";
            else if (!link->IsConnected())
                lost = link->ErrorText().empty() ? "the connection was closed" : link->ErrorText();
            else if (ticksSince(lastData) >= kSilenceMs)
                lost = "no data for " + std::to_string(kSilenceMs / 1000) + " s";
            if (!lost.empty()) {
                ctx_.err << "Link lost: " << lost << ": reconnecting" << std::endl;
                return true;
            }
        }
        return false;
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
    TRealTimeLog log_;
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
    TCliLogger logger(ctx, request);
    return logger.run();
}

} // namespace telvor
