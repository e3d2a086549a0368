#include "sim/Params.h"

namespace telvorsim {

// Parameters of the positioning, datum, events, messages and attitude pages; same row format as
// kParamTable.
const char* const kParamTableConfig = R"TABLE(
)TABLE";

} // namespace telvorsim
