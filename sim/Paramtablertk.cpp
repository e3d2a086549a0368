#include "sim/Params.h"

namespace telvorsim {

// Parameters of the RTK base and rover, ports, front panel and advanced pages; same row format as
// kParamTable.
const char* const kParamTableRtk = R"TABLE(
)TABLE";

} // namespace telvorsim
