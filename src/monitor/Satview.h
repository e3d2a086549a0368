#pragma once
// Satellite-view texts "GS" (GPS) and "NS" (GLONASS): checked and parsed into one snapshot
// of the sky for the satellites plot.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace telvor {

struct TSatEntry {
    std::uint8_t number = 0;   // PRN or slot
    std::int8_t frequency = 0; // GLONASS frequency number, 0 for GPS
    std::uint8_t elevation = 0;
    std::uint16_t azimuth = 0;
    std::uint8_t ca = 0, p1 = 0, p2 = 0; // signal-to-noise, dB-Hz
    std::uint8_t status = 0;             // navigation status
};

struct TSatData {
    bool glonass = false;
    int count = 0; // satellites in the text (entries holds every one that was complete)
    std::vector<TSatEntry> entries;
    std::uint32_t time = 0; // whole seconds since the plot store started
};

// The last two characters, read as hexadecimal, equal the rotating checksum of the rest.
bool satViewChecksumGood(std::string_view text);

// Parses a whole "GS"/"NS" message; nullopt when the checksum, the system field or the field
// count is wrong. Numbers that do not parse read as 0; groups cut short by the end of the
// text are left out.
std::optional<TSatData> parseSatView(std::string_view text, std::uint32_t time);

} // namespace telvor
