#pragma once
// `telvor-cli log`: real-time logging for unattended stations.
#include "cli/Commands.h"

namespace telvor {

// Logs until SIGINT/SIGTERM (0), reconnecting after link loss; 1 when the run ended by itself
// (logging did not start or start again, a file could not be written), 2 for bad options.
int runLog(TCliContext& ctx);

} // namespace telvor
