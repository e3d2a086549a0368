// `telvor-cli rm`: removes files from the receiver, stopping at the first that fails. The file
// being recorded is kept unless --force says otherwise.
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
        if (!removal.error.empty()) {
            ctx.err << removal.error << std::endl;
            return 1;
        }
        return 0;
    });
}

} // namespace telvor
