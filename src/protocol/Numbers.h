#pragma once
// Numbers read from text: the receiver's replies, settings values, typed fields and command-line
// options all go through these, so "12x", "inf" or an overflow is refused the same way
// everywhere.
#include <optional>
#include <string_view>

namespace telvor {

// Whole text as a signed decimal integer: an optional "+" or "-", digits, blanks (space, tab)
// around it allowed; empty when it is anything else or does not fit.
std::optional<long long> parseInteger(std::string_view text);
// The same, and only inside [low, high].
std::optional<long long> parseInteger(std::string_view text, long long low, long long high);

// Whole text as a finite decimal number ("." separator, exponent allowed), blanks around it
// allowed; no "inf", "nan" or hexadecimal.
std::optional<double> parseNumber(std::string_view text);

// The integer the text starts with, as the classic profile API reads it ("12 34" is 12): an
// optional sign, then digits, the rest ignored; empty without a digit or beyond an int.
std::optional<int> leadingInteger(std::string_view text);

} // namespace telvor
