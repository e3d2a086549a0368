#pragma once
// NMEA 0183 (4.10) sentences of one epoch, in the order a receiver sends them: GGA, RMC, GSA
// per system, GSV for GPS and GLONASS, VTG, ZDA. Every field the epoch lacks stays empty.
#include "nmea/Nmeaepoch.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace telvor {

// Exclusive-or of the characters between "$" and "*".
std::uint8_t nmeaChecksum(std::string_view body);
// "$" + body + "*" + two upper-case hexadecimal digits + CR LF.
std::string nmeaSentence(std::string_view body);

// GGA fix quality of a solution type: 0, 1, 2, 5 (float), 4 (fixed); -1 for an unknown type.
int ggaQuality(int solutionType);

// All sentences of the epoch, each with its checksum and CR LF.
std::string epochSentences(const TNmeaEpoch& epoch);

// What goes out while the receiver is silent: no fix, no time, so that a listener such as
// gpsd reports the loss instead of the last position.
std::string noFixSentences();

} // namespace telvor
