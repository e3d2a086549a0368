#pragma once
// `telvor-cli replay`: a recording shown as `monitor` shows a receiver.
#include "cli/Commands.h"

#include <optional>
#include <string>

namespace telvor {

// --speed: a factor above 0, or "max" (0, no waiting); empty when the text is neither.
std::optional<double> parseReplaySpeed(const std::string& text);

int runReplay(TCliContext& ctx);

} // namespace telvor
