// --nmea-pty and --nmea-tcp: the options and the outputs of one command run.
#include "cli/Clinmea.h"

#include <ostream>

namespace telvor {

bool takesNmeaOptions(const std::string& command) {
    return command == "monitor" || command == "log" || command == "serve" || command == "replay";
}

std::vector<TCliCommand> withNmeaOptions(std::vector<TCliCommand> commands) {
    for (TCliCommand& c : commands) {
        if (!takesNmeaOptions(c.name))
            continue;
        c.options.push_back(
            {"nmea-pty",
             "NMEA 0183 sentences of each epoch on a pseudo-terminal linked at PATH "
             "(for gpsd PATH); the link is removed at the end",
             "path"});
        c.options.push_back({"nmea-tcp",
                             "the same sentences to any number of TCP clients (ADDR default "
                             "127.0.0.1; 10110 is the usual PORT)",
                             "[addr:]port"});
    }
    return commands;
}

TCliNmea::~TCliNmea() {
    outputs_.detach(commState());
    outputs_.stop();
}

int TCliNmea::start() {
    const std::string usage = parseNmeaOptions(ctx_.options, config_);
    if (!usage.empty())
        return usageError(ctx_.err, usage);
    if (!config_.any())
        return 0;
    const std::string error = outputs_.start(config_);
    if (!error.empty()) {
        ctx_.err << "NMEA output: " << error << std::endl;
        return 1;
    }
    outputs_.attach(commState());
    ctx_.err << outputs_.statusText() << std::endl;
    return 0;
}

} // namespace telvor
