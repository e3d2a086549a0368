#include "cli/Configcommand.h"

#include "app/Appinfo.h"
#include "cli/Clisession.h"
#include "config/Binding.h"
#include "config/Configscript.h"

#include <ostream>

namespace telvor {
namespace {

// No window: no wait window, and the status goes nowhere (failures are reported by the caller).
class TQuietHost : public TConfigHost {
public:
    bool waitShown() const override { return true; }
    void showWait(const std::string&) override {}
    void closeWait() override {}
    void setStatus(const std::string&) override {}
    void showPage(const std::string&) override {}
};

// The script the configuration window's Save writes, from the pages as the receiver has them.
int saveConfig(TCliContext& ctx, const TSession& session, const std::string& file) {
    TReceiverParams rx;
    TQuietHost host;
    TReceiverConfig config(host);
    config.Advanced.Loops.setFirmwareVersion(session.firmwareVersion());
    config.refreshAll(rx);
    const TSaveOutcome saved = SaveConfigScript(config, rx, file, appVersion(), appBuildDate());
    (saved.saved ? ctx.out : ctx.err) << saved.status << std::endl;
    return saved.saved ? 0 : 1;
}

} // namespace

int runConfig(TCliContext& ctx) {
    const std::string verb = ctx.args.front();
    const std::size_t operands = ctx.args.size() - 1;
    if (verb == "get"    ? operands == 0
        : verb == "set"  ? operands != 2
        : verb == "save" ? operands != 1
                         : true)
        return usageError(ctx.err, "config get PATH... | config set PATH VALUE | config save FILE");

    return withReceiver(ctx, [&](TSession& session) {
        if (verb == "save")
            return saveConfig(ctx, session, ctx.args[1]);
        TReceiverParams rx;
        int code = 0;
        if (verb == "get") {
            for (std::size_t i = 1; i < ctx.args.size(); ++i) {
                const auto value = rx.collect(ctx.args[i]);
                // A line for every path keeps the output in step with the arguments.
                ctx.out << value.value_or("") << '\n';
                if (!value) {
                    ctx.err << ctx.args[i] << ": no value from the receiver" << std::endl;
                    code = 1;
                }
            }
            ctx.out.flush();
        } else if (!rx.set(ctx.args[1], ctx.args[2])) {
            if (rx.lastError().empty())
                ctx.err << "The receiver didn't reply!" << std::endl;
            else
                ctx.err << "ER: " << rx.lastError() << std::endl;
            code = 1;
        }
        return code;
    });
}

} // namespace telvor
