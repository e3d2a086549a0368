#pragma once
// The text rules of receiver command scripts: trimming, items, parameter markers, the escapes
// of "@send". Standard library only, so the fuzzer builds it without Qt.
#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

// @0 ... @9 of one run.
using TScriptParameters = std::array<std::string, 10>;

// Lines are read in pieces of at most this many characters.
constexpr std::size_t kScriptLinePiece = 1023;

// The next piece of a line: through its line feed, or 1023 characters; false at the end.
bool readScriptPiece(std::FILE* file, std::string& piece);

// Leading and trailing blanks and control characters removed.
std::string trimScriptLine(std::string_view line);

// Items separated by commas or runs of blanks; blanks around a comma belong to it, so "a, b"
// is two items and "a,,b" three. Double quotes hold commas and blanks and are removed.
std::vector<std::string> splitScriptItems(std::string_view text);

// Every "@n" replaced by parameter n in one pass: inserted text is never scanned again, so a
// parameter holding its own marker cannot make the line grow without end.
std::string substituteParameters(std::string_view line, const TScriptParameters& parameters);

// "@default", "@set" and "@send" lines keep their markers until the directive reads them.
bool keepsMarkers(std::string_view line);

std::string toLowerAscii(std::string_view text);

// The escapes of "@send": \a \b \f \n \r \t \v \\ \' \" \?, \x + hex digits, \ + a number in C
// notation (decimal, octal with a leading 0, hex with 0x); its low byte. A backslash before
// anything else loses the backslash; one at the very end stays.
std::string decodeEscapes(std::string_view text);

// The bytes "@send" writes: the text after the keyword without one pair of enclosing double
// quotes, escapes applied.
std::string sendBytes(std::string_view textAfterKeyword);

enum class TScriptLineKind { Comment, Directive, WaitedCommand, Command };
// By the first character of a trimmed, non-empty line.
TScriptLineKind classifyScriptLine(std::string_view line);

// A directive split into lower-case items; `text` is what follows the five-letter keyword in
// the line as written ("@echo", "@call", "@send"), trimmed.
struct TDirective {
    bool label = false;
    std::vector<std::string> items;
    std::string text;
};
TDirective parseDirective(std::string_view line);

// "@echo on" / "@echo off": not echoed themselves.
bool isEchoSwitch(const TDirective& d);

// "@" + script name (in double quotes when it holds a blank or a comma) + " " + each argument.
std::string runCommandLine(const std::vector<std::string>& scriptAndArguments);

} // namespace telvor
