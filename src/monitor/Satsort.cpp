#include "monitor/Satsort.h"

#include "monitor/Numformat.h"
#include "protocol/Numbers.h"

#include <algorithm>
#include <cstdlib>

namespace telvor {
namespace {

constexpr double kNotANumber = -1000;

const std::string& cell(const std::vector<std::string>& row, std::size_t c) {
    static const std::string empty;
    return c < row.size() ? row[c] : empty;
}

int sign(double d) {
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

} // namespace

int sortKeyAfterClick(int key, int column) {
    if (std::abs(key) == column + 1)
        return -key;
    return key <= 0 ? -(column + 1) : column + 1;
}

double numericSortValue(std::string_view text) {
    return parseNumber(text).value_or(kNotANumber);
}

double trackingSortValue(std::string_view text) {
    // Minutes, ":ss" seconds below a minute, "inf" for unbroken tracking: all in seconds, so
    // the longest-tracked satellites sort together at one end.
    if (auto minutes = parseNumber(text))
        return *minutes * 60;
    if (text.size() >= 2 && text[0] == ':')
        if (auto seconds = parseNumber(text.substr(1)))
            return *seconds;
    if (text == "inf")
        return 1e12;
    return kNotANumber;
}

double elevationSortValue(std::string_view text) {
    while (!text.empty() && (text.back() < '0' || text.back() > '9'))
        text.remove_suffix(1);
    return numericSortValue(text);
}

int compareSatRows(const std::vector<std::string>& a, const std::vector<std::string>& b, int key,
                   int kind) {
    int c = std::abs(key) - 1;
    if (c < 0)
        c = 0;
    const std::string& x = cell(a, static_cast<std::size_t>(c));
    const std::string& y = cell(b, static_cast<std::size_t>(c));
    int result;
    switch (kind - c - 1) {
    case 0:
    case 7:
    case 8:
        result = x.compare(y);
        result = result < 0 ? -1 : result > 0 ? 1 : 0;
        break;
    case 1:
        result = sign(trackingSortValue(x) - trackingSortValue(y));
        break;
    case 6:
        result = sign(elevationSortValue(x) - elevationSortValue(y));
        break;
    default:
        result = sign(numericSortValue(x) - numericSortValue(y));
        break;
    }
    return key < 0 ? -result : result;
}

void sortSatTable(TSatTable& table, int key) {
    int kind = table.kind();
    std::stable_sort(table.rows.begin(), table.rows.end(), [&](const auto& a, const auto& b) {
        return compareSatRows(a.cells, b.cells, key, kind) < 0;
    });
}

} // namespace telvor
