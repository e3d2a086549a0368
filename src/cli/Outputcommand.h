#pragma once
// `telvor-cli output`: the correction output of a receiver port as one of the RTK presets,
// read as the ports page recognises it and set as it applies one.
#include "cli/Commands.h"

namespace telvor {

// "output PORT" prints the preset the port sends and, when it has one, its period on a second
// line; "output PORT PRESET PERIOD" disables the port's messages and enables the preset
// ("None" only disables). 1 when the receiver refuses, 2 for an unknown preset or bad usage.
int runOutput(TCliContext& ctx);

} // namespace telvor
