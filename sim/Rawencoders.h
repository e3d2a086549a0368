#pragma once
// The raw-data messages: measurements ("rM"), GPS and GLONASS ephemerides ("GE", "NE"), the
// ionosphere ("IO") and UTC ("UO") parameters. Layouts in docs/formats.md.
#include "sim/Encoders.h"

namespace telvorsim {

void encRawMeasurements(const TEpochView& view, std::vector<std::string>& out);
void encGpsEphemeris(const TEpochView& view, std::vector<std::string>& out);
void encGloEphemeris(const TEpochView& view, std::vector<std::string>& out);
void encIonosphere(const TEpochView& view, std::vector<std::string>& out);
void encUtc(const TEpochView& view, std::vector<std::string>& out);

} // namespace telvorsim
