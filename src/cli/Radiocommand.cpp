#include "cli/Radiocommand.h"

#include "cli/Clisession.h"
#include "config/Rfm96config.h"

#include <cctype>
#include <ostream>

namespace telvor {
namespace {

const char* const kUsage = "radio get | radio set NAME VALUE [NAME VALUE]... "
                           "(names as \"radio get\" prints them, \"BREAK to Command\" On/Off)";

const char* const kBreak = "BREAK to Command";

class TCliRadioView : public TRadioView {
public:
    TCliRadioView(TCliContext& ctx) : ctx_(ctx) {}
    void setStatus(const std::string& text) override {
        status = text;
        if (ctx_.progress && !text.empty())
            ctx_.err << text << std::endl;
    }
    void setProgress(int) override {
        // Ctrl-C works like the window's Stop.
        if (config && cliStopRequested() && !config->chain().stopRequested())
            config->OnStopClick();
    }
    // Closing without the chain's end is never what a script wants.
    bool ask(const std::string&, const std::string&) override { return false; }

    std::string status;
    TRfm96Config* config = nullptr;

private:
    TCliContext& ctx_;
};

struct TChange {
    int row = -1; // -1: "BREAK to Command"
    int index = 0;
};

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parseChanges(const std::vector<std::string>& args, std::vector<TChange>& changes,
                  std::string& error) {
    for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        TChange c;
        if (lower(name) == lower(kBreak)) {
            if (lower(value) != "on" && lower(value) != "off") {
                error = std::string(kBreak) + ": On or Off";
                return false;
            }
            c.index = lower(value) == "on";
            changes.push_back(c);
            continue;
        }
        c.row = -1;
        for (std::size_t k = 0; k < modemRows().size(); ++k)
            if (lower(modemRows()[k].name) == lower(name))
                c.row = static_cast<int>(k);
        if (c.row < 0) {
            error = "no modem parameter \"" + name + "\"";
            return false;
        }
        const auto items = modemRowItems(modemRows()[static_cast<std::size_t>(c.row)]);
        c.index = -1;
        for (std::size_t k = 0; k < items.size(); ++k)
            if (lower(items[k]) == lower(value))
                c.index = static_cast<int>(k);
        if (c.index < 0) {
            error = name + ": no value \"" + value + "\"";
            return false;
        }
        changes.push_back(c);
    }
    return true;
}

void printPages(std::ostream& out, const TRfm96Config& config) {
    out << "Serial number: " << config.serialText << '\n';
    out << config.temperatureText << '\n' << config.voltageText << '\n';
    for (const std::string& ch : config.channels)
        out << "Channel " << ch << '\n';
    const auto& rows = modemRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out << rows[i].name << ": ";
        if (config.enabled[i])
            out << modemRowItems(rows[i])[static_cast<std::size_t>(config.index[i])];
        else
            out << "unknown";
        out << '\n';
        if (isProtocolRow(rows[i]) && config.enabled[i])
            out << kBreak << ": " << (config.breakToCommand ? "On" : "Off") << '\n';
    }
    out.flush();
}

bool parseOptions(TCliContext& ctx, TRfm96Config& config, std::string& error) {
    if (ctx.has("modem-port")) {
        const std::string p = lower(ctx.options.at("modem-port"));
        if (p.size() != 1 || p[0] < 'a' || p[0] > 'd') {
            error = "--modem-port takes A, B, C or D";
            return false;
        }
        config.setPort(p[0]);
    }
    if (ctx.has("speed")) {
        const std::string s = lower(ctx.options.at("speed"));
        if (s != "auto") {
            char* end = nullptr;
            const unsigned long v = std::strtoul(s.c_str(), &end, 10);
            if (s.empty() || *end || !modemCodeOfSpeed(static_cast<std::uint32_t>(v))) {
                error = "--speed takes Auto, 38400, 19200, 9600, 4800 or 2400";
                return false;
            }
            config.searchSpeed = static_cast<std::uint32_t>(v);
        }
    }
    config.powerCycle = ctx.has("power-cycle");
    return true;
}

} // namespace

int runRadio(TCliContext& ctx) {
    const std::string verb = ctx.args.front();
    const std::size_t operands = ctx.args.size() - 1;
    if (verb == "get" ? operands != 0 : verb == "set" ? operands == 0 || operands % 2 : true)
        return usageError(ctx.err, kUsage);
    std::vector<TChange> changes;
    std::string error;
    if (!parseChanges(ctx.args, changes, error))
        return usageError(ctx.err, error);
    // Options are checked before the receiver is searched for.
    {
        TCliRadioView probe(ctx);
        TRfm96Config check(probe);
        if (!parseOptions(ctx, check, error))
            return usageError(ctx.err, error);
    }

    return withReceiver(ctx, [&](TSession&) {
        TCliRadioView view(ctx);
        TRfm96Config config(view);
        view.config = &config;
        if (!config.prepare()) {
            ctx.err << "The receiver has no echo-off string: no daisy chain" << std::endl;
            return 1;
        }
        parseOptions(ctx, config, error);
        if (!config.OnConnectClick()) {
            ctx.err << view.status << std::endl;
            // A refresh that failed still leaves the chain up.
            config.OnConfigExitClick();
            return 1;
        }
        int code = 0;
        if (verb == "get") {
            printPages(ctx.out, config);
        } else {
            for (const TChange& c : changes) {
                if (c.row < 0) {
                    config.breakToCommand = c.index != 0;
                    continue;
                }
                config.index[static_cast<std::size_t>(c.row)] = c.index;
                config.enabled[static_cast<std::size_t>(c.row)] = true;
            }
            if (config.OnApplyClick()) {
                ctx.out << "OK" << std::endl;
            } else {
                ctx.err << view.status << std::endl;
                code = 1;
            }
        }
        if (!config.OnConfigExitClick()) {
            ctx.err << view.status << std::endl;
            code = 1;
        }
        return code;
    });
}

} // namespace telvor
