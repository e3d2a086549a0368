#pragma once
// telvor-sim's command line.
#include "sim/Simoptions.h"

#include <string>

namespace telvorsim {

struct TSimArgs {
    enum TAction { Run, Help, Version, Usage } action = Run;
    std::string text; // what to print for Help, Version and Usage
    TSimOptions options = {};
    std::string ptyPath = {};
    std::string bind = "127.0.0.1";
    int tcpPort = -1;            // -1: no TCP; 0: any free port
    std::string recordPath = {}; // every byte sent, appended to this file
    std::string truthPath = {};  // the truth of every epoch, appended to this file
    std::string corrPty = {}, corrRecord = {}, corrOutPty = {}; // the correction ports
};

TSimArgs parseSimArgs(int argc, char** argv);

} // namespace telvorsim
