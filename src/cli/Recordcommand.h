#pragma once
// `telvor-cli record start|stop`: recording into a receiver file, as the file manager's
// "Current log file" page does it.
#include "cli/Commands.h"

namespace telvor {

// An interval the receiver cannot deliver is refused with exit code 1 (no wizard without a
// window); names and numbers that cannot be used are usage errors (2).
int runRecord(TCliContext& ctx);

} // namespace telvor
