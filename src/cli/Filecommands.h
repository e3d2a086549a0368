#pragma once
// telvor-cli's commands on the receiver's files: ls, get, rm.
#include "cli/Commands.h"

namespace telvor {

int runLs(TCliContext& ctx);
int runGet(TCliContext& ctx);
int runRm(TCliContext& ctx);

} // namespace telvor
