#pragma once
// The one scanner of the receiver's list notation, for every reader of lists and values:
// double quotes enclose text, braces nest lists, and a backslash hides the character after it
// (inside quotes and out).
#include <cstddef>
#include <string_view>

namespace telvor {

// Calls `visit(at, c)` for every brace, comma and equals sign of `text` that stands outside
// double quotes and is hidden by no backslash, in order; `visit` returns false to stop there.
// Returns whether no quote is open where the scan ended.
template <class Visit> bool scanListSyntax(std::string_view text, Visit&& visit) {
    // Only these characters change the state; the ones between are skipped in one search.
    constexpr std::string_view kSyntax = "\\\"{},=", kInQuotes = "\\\"";
    bool quoted = false;
    for (std::size_t i = text.find_first_of(kSyntax); i < text.size();
         i = text.find_first_of(quoted ? kInQuotes : kSyntax, i + 1)) {
        const char c = text[i];
        if (c == '\\')
            ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (!visit(i, c))
            break;
    }
    return !quoted;
}

} // namespace telvor
