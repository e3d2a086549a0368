#pragma once
// The two text layouts of the saved report, after their header lines: "Save to file" for a
// receiver that cannot print its whole tree, and "Report". No Qt.
#include "info/Receiverinfo.h"

#include <string>

namespace telvor {

// `version` is the session's firmware number (major * 1000 + minor).
std::string fixedLayout(TParamSource& source, int version);
std::string reportLayout(TParamSource& source, int version);

} // namespace telvor
