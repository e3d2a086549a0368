#include "monitor/Satview.h"

#include "monitor/Numformat.h"
#include "protocol/Messageformat.h"
#include "protocol/Numbers.h"

#include <algorithm>

namespace telvor {
namespace {

long long integer(std::string_view field) {
    return parseInteger(field).value_or(0);
}

// Characters `from`..`from + 1` (1-based) of a field as a number.
long long twoDigits(std::string_view field, std::size_t from) {
    if (field.size() < from)
        return 0;
    return integer(field.substr(from - 1, 2));
}

} // namespace

bool satViewChecksumGood(std::string_view t) {
    if (t.size() < 3)
        return false;
    int hi = telvor::hexDigitValue(t[t.size() - 2]), lo = telvor::hexDigitValue(t[t.size() - 1]);
    return hi >= 0 && lo >= 0 && rotatingChecksum(t.data(), t.size() - 2) == hi * 16 + lo;
}

std::optional<TSatData> parseSatView(std::string_view text, std::uint32_t time) {
    if (text.size() < kHeaderSize || !satViewChecksumGood(text))
        return std::nullopt;
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        std::size_t comma = text.find(',', start);
        fields.push_back(
            text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() < 3)
        return std::nullopt;
    TSatData d;
    if (fields[1] == "GPSVST")
        d.glonass = false;
    else if (fields[1] == "GLSVST")
        d.glonass = true;
    else
        return std::nullopt;
    d.time = time;
    long long n = integer(fields[2]);
    d.count = n < 0 ? 0 : static_cast<int>(std::min<long long>(n, 1 << 20));

    const std::size_t groupSize = d.glonass ? 8 : 7;
    std::size_t f = 3;
    for (int i = 0; i < d.count && f + groupSize <= fields.size(); ++i) {
        TSatEntry e;
        e.number = static_cast<std::uint8_t>(twoDigits(fields[f++], 2));
        if (d.glonass)
            e.frequency = static_cast<std::int8_t>(integer(fields[f++]));
        e.elevation = static_cast<std::uint8_t>(integer(fields[f++]));
        e.azimuth = static_cast<std::uint16_t>(integer(fields[f++]));
        e.ca = static_cast<std::uint8_t>(twoDigits(fields[f++], 2));
        e.p1 = static_cast<std::uint8_t>(integer(fields[f++]));
        e.p2 = static_cast<std::uint8_t>(twoDigits(fields[f++], 1));
        e.status = static_cast<std::uint8_t>(twoDigits(fields[f++], 1));
        d.entries.push_back(e);
    }
    return d;
}

} // namespace telvor
