#include "cli/Commandtable.h"

namespace telvor {

const std::vector<TCliCommand>& cliCommands() {
    static const std::vector<TCliCommand> table = {
        {"ports", "", "list the ports the connection dialog offers", {}, runPorts},
        {"connect", "", "find the receiver, print its identity, disconnect", {}, runConnect},
        {"send",
         "<command>",
         "send one command line and print the whole reply",
         {},
         runSend,
         1,
         -1},
        {"monitor",
         "",
         "show what the receiver tracks and computes, once per epoch, until Ctrl-C",
         {{"json", "one JSON object a line"}, {"seconds", "stop after this many seconds", "n"}},
         runMonitor},
    };
    return table;
}

const TCliCommand* findCliCommand(const std::string& name) {
    for (const TCliCommand& c : cliCommands())
        if (name == c.name)
            return &c;
    return nullptr;
}

} // namespace telvor
