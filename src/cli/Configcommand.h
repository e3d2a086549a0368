#pragma once
// `telvor-cli config`: receiver parameters read and written as the configuration pages do.
#include "cli/Commands.h"

namespace telvor {

// "get PATH..." prints one value a line (an empty line for a parameter the receiver lacks);
// "set PATH VALUE" writes one. 1 when the receiver refuses or lacks one, 2 on bad usage.
int runConfig(TCliContext& ctx);

} // namespace telvor
