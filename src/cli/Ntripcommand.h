#pragma once
// telvor-cli ntrip: a caster's stream to a correction port, a base's corrections to a caster,
// or the caster's sourcetable.
#include "cli/Commands.h"

namespace telvor {

int runNtrip(TCliContext& ctx);

} // namespace telvor
