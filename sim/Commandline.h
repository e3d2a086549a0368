#pragma once
// What a received command line holds: an optional checksum suffix, commands joined by "&&" or
// "||", each with an optional "%id%" prefix.
#include <string>
#include <string_view>
#include <vector>

namespace telvorsim {

struct TCommand {
    bool hasId = false;
    std::string id;   // between the two "%"
    std::string text; // the command itself, e.g. "print,/par/rcv/model"; empty for an id alone
};

enum class TLineKind {
    Empty,       // nothing but blanks
    Silent,      // "#" lines, "##", the echo-off text: accepted without a reply
    BadChecksum, // "@XX" suffix present and wrong
    Commands,
};

struct TParsedLine {
    TLineKind kind = TLineKind::Empty;
    std::vector<TCommand> commands;
};

// `line` excludes its CR / LF.
TParsedLine parseLine(std::string_view line, std::string_view echoOff);

// Splits at commas outside double quotes and braces, into at most `maxParts` parts (the last
// part keeps the rest of the text, commas included).
std::vector<std::string> splitArgs(std::string_view text, std::size_t maxParts);

std::string trim(std::string_view text);

} // namespace telvorsim
