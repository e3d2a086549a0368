#pragma once
// `telvor-cli config`: receiver parameters read and written as the configuration pages do.
#include "cli/Commands.h"

namespace telvor {

// "get PATH..." prints one value a line (an empty line for a parameter the receiver lacks);
// "set PATH VALUE" writes one; "save FILE" writes the configuration script the window's Save
// writes. 1 when the receiver refuses or lacks one or the file cannot be written, 2 on bad usage.
int runConfig(TCliContext& ctx);

} // namespace telvor
