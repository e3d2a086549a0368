// `telvor-cli send`: one command line, and the whole of its reply.
#include "cli/Clisession.h"
#include "protocol/Commtools.h"

#include <ostream>

namespace telvor {
namespace {

// Where the value starts in each reply: after the header and the echoed "%id%".
int valueOffset(const std::string& line) {
    if (line.empty() || line[0] != '%')
        return 7;
    const auto close = line.find('%', 1);
    return close == std::string::npos ? 5 : int(5 + close + 1);
}

std::string joined(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& w : words)
        line += (line.empty() ? "" : " ") + w;
    return line;
}

} // namespace

int runSend(TCliContext& ctx) {
    return withReceiver(ctx, [&](TSession& session) {
        // Without an id of its own the line gets "%%", so that the value starts at offset 7.
        const std::string command = joined(ctx.args);
        const std::string line = !command.empty() && command[0] == '%' ? command : "%%" + command;
        const int timeout = std::max(2000, session.settings().timeout);
        TReply reply = SendAndWait(line, timeout);
        int code = 1;
        if (reply == TReply::RE) {
            // A long value comes in several replies; it is whole when its braces balance.
            std::string value;
            if (ReadCompleteValue(value, valueOffset(line), timeout)) {
                ctx.out << value << std::endl;
                code = 0;
            } else {
                ctx.out << value << std::endl;
                ctx.err << "The rest of the reply did not come" << std::endl;
            }
        } else if (reply == TReply::ER) {
            ctx.err << "ER: " << ReplyText(5) << std::endl;
        } else {
            ctx.err << "The receiver didn't reply!" << std::endl;
        }
        return code;
    });
}

} // namespace telvor
