#pragma once
// telvor-cli's commands on the receiver's files: ls, get, rm, fs-init, fs-report.
#include "cli/Commands.h"

namespace telvor {

int runLs(TCliContext& ctx);
int runGet(TCliContext& ctx);
int runRm(TCliContext& ctx);
int runFsInit(TCliContext& ctx);
int runFsReport(TCliContext& ctx);

} // namespace telvor
