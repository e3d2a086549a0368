#pragma once
// `telvor-cli report`: the receiver report of the About window.
#include "cli/Commands.h"

namespace telvor {

// Prints the memo, or with --save / --report writes that file; 1 when the receiver was not
// found or the file could not be completed.
int runReport(TCliContext& ctx);

} // namespace telvor
