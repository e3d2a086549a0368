#include "cli/Outputcommand.h"

#include "cli/Clisession.h"
#include "config/Binding.h"
#include "config/Listnotation.h"
#include "config/Presets.h"

#include <cstdlib>
#include <ostream>

namespace telvor {
namespace {

int setOutput(TCliContext& ctx, const std::string& port, const std::string& command) {
    TReceiverParams rx;
    if (!rx.command("dm," + port)) {
        ctx.err << "Can't disable output for " << port << std::endl;
        return 1;
    }
    if (command != "%%" && !rx.command(command.substr(2))) {
        ctx.err << "Can't set output mode for " << port << std::endl;
        return 1;
    }
    return 0;
}

} // namespace

int runOutput(TCliContext& ctx) {
    const std::string usage = "output PORT | output PORT PRESET PERIOD (presets: \"None\", "
                              "\"DGPS RTCM {1,31,3}\", ... \"RTK VXR max\")";
    if (ctx.args.size() != 1 && ctx.args.size() != 3)
        return usageError(ctx.err, usage);
    const std::string port = ctx.args[0];
    std::string command;
    if (ctx.args.size() == 3) {
        const std::string& period = ctx.args[2];
        command = PresetCommand(port, ctx.args[1], period);
        if (command.empty() || command == "none")
            return usageError(ctx.err, "not a preset: " + ctx.args[1]);
        if (command != "%%" && !(IsNumber(period) && std::strtod(period.c_str(), nullptr) > 0))
            return usageError(ctx.err, "Invalid messages output period for " + port);
    }
    return withReceiver(ctx, [&](TSession&) {
        if (!command.empty())
            return setOutput(ctx, port, command);
        TReceiverParams rx;
        const TDetectedPreset found = DetectPreset(rx, port);
        if (!found.ok) {
            ctx.err << "Can't read the output of " << port << std::endl;
            return 1;
        }
        ctx.out << found.caption << '\n';
        if (!found.period.empty())
            ctx.out << found.period << '\n';
        ctx.out.flush();
        return 0;
    });
}

} // namespace telvor
