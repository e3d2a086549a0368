#pragma once
// The receiver's list notation ({a,{b,c},"d,e"}) and the text checks of the configuration
// pages. Pure text operations, no Qt: the fuzz target compiles this unit on its own.
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

// The index-th element (from 1) at brace depth `depth` (1 = inside the outer braces), as
// written. Index 0 gives every element at that depth joined by ",". Empty when there is no
// such element or a quoted string is left open.
std::string ListElement(std::string_view text, int depth, int index);
// Every element at `depth`, each as ListElement gives it: one pass for a caller that wants them
// all. Empty when a quoted string is left open.
std::vector<std::string> ListElements(std::string_view text, int depth);
// How many elements sit at `depth`; 0 when the braces do not balance or a quote is open.
int ListCount(std::string_view text, int depth);
// The value of a "name=value" element (or from its first "{"), trimmed; the whole text when
// neither comes outside quotes.
std::string ElementValue(std::string_view text);

// Double-quoted (with backslash escapes) when the text holds a character the receiver would
// take as syntax; "" for an empty text.
std::string Quote(std::string_view text);
std::string Unquote(std::string_view text);

bool IsNumber(std::string_view text);
bool IsInteger(std::string_view text);
bool IsUnsigned(std::string_view text);
bool IsIPv4Address(std::string_view text);

// Blanks and control characters off both ends.
std::string TrimText(std::string_view text);

} // namespace telvor
