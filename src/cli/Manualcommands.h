#pragma once
// `telvor-cli run` and `telvor-cli terminal`: the manual-mode terminal without a window.
#include "cli/Commands.h"

namespace telvor {

// Runs a script against the receiver: echo lines and received bytes on standard output, the
// final status on standard error. 0 after a normal end, 1 after an error stop, an
// interruption, or when the script or the receiver cannot be reached.
int runScriptCommand(TCliContext& ctx);

// Standard input lines go to the receiver ("@" lines run scripts), received bytes to standard
// output; the end of the input disconnects cleanly.
int runTerminal(TCliContext& ctx);

} // namespace telvor
