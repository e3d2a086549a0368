#pragma once
// The commands telvor-cli knows. A new command is one line in Commandtable.cpp: its name,
// its arguments and help as --help shows them, the options only it takes, its function.
#include "cli/Commands.h"

#include <vector>

namespace telvor {

struct TCliOption {
    const char* name;
    const char* help;
    const char* valueName = ""; // empty: a flag
};

struct TCliCommand {
    const char* name;
    const char* arguments; // "<command line>"; empty when it takes none
    const char* help;
    std::vector<TCliOption> options;
    int (*run)(TCliContext&);
    int minArgs = 0;
    int maxArgs = 0; // -1: no limit
};

const std::vector<TCliCommand>& cliCommands();
const TCliCommand* findCliCommand(const std::string& name);

} // namespace telvor
