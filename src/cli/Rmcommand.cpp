// `telvor-cli rm`: removes files from the receiver, stopping at the first that fails. The file
// being recorded is kept unless --force says otherwise.
#include "cli/Clisession.h"
#include "cli/Filecommands.h"
#include "protocol/Commtools.h"

#include <ostream>

namespace telvor {

int runRm(TCliContext& ctx) {
    return withReceiver(ctx, [&](TSession&) {
        int code = 0;
        if (!Synchronise(25)) {
            ctx.err << "Receiver does not answer" << std::endl;
            code = 1;
        }
        std::string current;
        if (code == 0 && SendAndWait("%%print,/cur/log", 2000) == TReply::RE) {
            current = ReplyText(7);
            if (current.rfind("/log/", 0) == 0)
                current.erase(0, 5);
        }
        for (std::size_t i = 0; code == 0 && i < ctx.args.size(); ++i) {
            const std::string& name = ctx.args[i];
            if (!current.empty() && name == current && !ctx.has("force")) {
                ctx.err << "'" << name << "' is the current log file; kept (--force removes it)"
                        << std::endl;
                continue;
            }
            if (SendAndWait("%%remove,\"/log/" + name + "\"", 2000) != TReply::RE) {
                ctx.err << "Can't delete " << name << std::endl;
                code = 1;
            }
        }
        return code;
    });
}

} // namespace telvor
