#include "cli/Recordcommand.h"

#include "cli/Clisession.h"
#include "config/Binding.h"
#include "config/Listnotation.h"
#include "config/Recinterval.h"
#include "config/Siteparams.h"
#include "files/Receiverfiles.h"
#include "files/Recording.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"

#include <cstdlib>
#include <ostream>

namespace telvor {
namespace {

constexpr int kCommandMs = 2000;

int fail(TCliContext& ctx, const std::string& text) {
    ctx.err << text << std::endl;
    return 1;
}

int start(TCliContext& ctx, const std::string& name, const std::string& interval) {
    if (!synchroniseFiles())
        return fail(ctx, kNoAnswerText);
    if (ctx.has("elevation-mask"))
        if (std::string refused = setFileElevationMask(ctx.options["elevation-mask"]);
            !refused.empty())
            return fail(ctx, refused);
    TReceiverParams receiver;
    const double seconds = std::strtod(interval.c_str(), nullptr);
    if (!IntervalAllowed(receiver, seconds)) {
        auto current = [&](const char* path) { return receiver.print(path).value_or("?"); };
        return fail(ctx, "Recording interval " + interval +
                             " s is not supported by the receiver's current settings (raw data "
                             "every " +
                             current("/par/raw/curmsint") + " ms, positions every " +
                             current("/par/pos/curmsint") + " ms)");
    }
    const std::string text = FormatInterval(seconds);
    const bool exists = SendAndWait("%%print,\"/log/" + name + "&size\"", kCommandMs) == TReply::RE;
    if (exists && !ctx.has("overwrite"))
        return fail(ctx, "File already exists");
    std::string siteError;
    if (std::string failed = startRecording(
            name, text, exists, ctx.profile, [](const std::string&) {}, siteError);
        !failed.empty())
        return fail(ctx, failed);
    ctx.profile.write(keys::ReceiverRecordingIntervalFile, text);
    // Recording runs either way; a site record the receiver did not take is still said.
    if (!siteError.empty())
        ctx.err << siteError << std::endl;
    ctx.out << "Data collection started" << std::endl;
    return 0;
}

int stop(TCliContext& ctx) {
    if (std::string failed = stopRecording(); !failed.empty())
        return fail(ctx, failed);
    ctx.out << "Data collection stopped" << std::endl;
    return 0;
}

} // namespace

int runRecord(TCliContext& ctx) {
    const std::string what = ctx.args.empty() ? "" : ctx.args[0];
    if (what == "stop") {
        if (ctx.args.size() != 1 || !ctx.options.empty())
            return usageError(ctx.err, "record stop takes no name or options");
        return withReceiver(ctx, [&](TSession&) { return stop(ctx); });
    }
    if (what != "start" || ctx.args.size() != 2)
        return usageError(ctx.err, "record start <name> or record stop");
    const std::string name = TrimText(ctx.args[1]);
    if (std::string refused = CheckRecordingName(name); !refused.empty())
        return usageError(ctx.err, refused);
    const std::string interval = ctx.has("interval")
                                     ? TrimText(ctx.options["interval"])
                                     : ctx.profile.read(keys::ReceiverRecordingIntervalFile);
    if (!IsNumber(interval) || !(std::strtod(interval.c_str(), nullptr) > 0))
        return usageError(ctx.err, "Invalid recording interval");
    if (ctx.has("elevation-mask") && !IsInteger(TrimText(ctx.options["elevation-mask"])))
        return usageError(ctx.err, "Invalid elevation mask");
    return withReceiver(ctx, [&](TSession&) { return start(ctx, name, interval); });
}

} // namespace telvor
