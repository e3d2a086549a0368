#include "protocol/Numbers.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

namespace telvor {
namespace {

std::string_view trimBlanks(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    return t;
}

// from_chars takes "-" but not "+": drop one "+", and refuse "+-".
std::optional<std::string_view> withoutPlus(std::string_view text) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<long long> parseInteger(std::string_view text) {
    auto t = withoutPlus(text);
    if (!t)
        return std::nullopt;
    long long v = 0;
    auto [end, ec] = std::from_chars(t->data(), t->data() + t->size(), v);
    if (ec != std::errc() || end != t->data() + t->size())
        return std::nullopt;
    return v;
}

std::optional<long long> parseInteger(std::string_view text, long long low, long long high) {
    auto v = parseInteger(text);
    if (!v || *v < low || *v > high)
        return std::nullopt;
    return v;
}

std::optional<double> parseNumber(std::string_view text) {
    auto t = withoutPlus(text);
    if (!t)
        return std::nullopt;
    double v = 0;
    auto [end, ec] = std::from_chars(t->data(), t->data() + t->size(), v);
    if (ec != std::errc() || end != t->data() + t->size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> leadingInteger(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i >= s.size() || s[i] < '0' || s[i] > '9')
        return std::nullopt;
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        return std::nullopt;
    return static_cast<int>(v);
}

} // namespace telvor
