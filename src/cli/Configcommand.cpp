#include "cli/Configcommand.h"

#include "cli/Clisession.h"
#include "config/Binding.h"

#include <ostream>

namespace telvor {

int runConfig(TCliContext& ctx) {
    const std::string verb = ctx.args.front();
    const std::size_t operands = ctx.args.size() - 1;
    if (verb == "get" ? operands == 0 : verb == "set" ? operands != 2 : true)
        return usageError(ctx.err, "config get PATH... | config set PATH VALUE");

    return withReceiver(ctx, [&](TSession& session) {
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
