#pragma once
// The desktop program's command line, read before the window system starts, so that --help
// and --version work without a display.
#include <string>
#include <vector>

namespace telvor {

struct TStartOptions {
    enum TAction { Run, Help, Version, Usage } action = Run;
    std::string text;                         // what to print for Help, Version and Usage
    std::string settingsDir;                  // --settings; empty: the home folder
    std::string script;                       // "/run FILE": the script's absolute path
    std::vector<std::string> scriptArguments; // what follows the script
    std::string recording;                    // "FILE.vxr": replayed instead of a connect
};

// Qt's own options ("-platform offscreen", "-style ...") are let through to the application.
TStartOptions parseStartOptions(int argc, const char* const* argv);

} // namespace telvor
