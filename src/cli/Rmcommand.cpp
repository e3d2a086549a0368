// `telvor-cli rm`: removes files from the receiver, stopping at the first that fails. The file
// being recorded is kept unless --force says otherwise; keeping it exits 1.
#include "cli/Clisession.h"
#include "cli/Filecommands.h"
#include "files/Receiverfiles.h"

#include <ostream>

namespace telvor {

int runRm(TCliContext& ctx) {
    return withReceiver(ctx, [&](TSession&) {
        if (!synchroniseFiles()) {
            ctx.err << kNoAnswerText << std::endl;
            return 1;
        }
        const TRemoval removal = removeFiles(ctx.args, [&](const std::string& name) {
            if (ctx.has("force"))
                return true;
            ctx.err << "'" << name << "' is the current log file; kept (--force removes it)"
                    << std::endl;
            return false;
        });
        if (!removal.error.empty())
            ctx.err << removal.error << std::endl;
        // A kept file is not gone: a script must not take it for removed.
        return removal.error.empty() && removal.kept.empty() ? 0 : 1;
    });
}

} // namespace telvor
