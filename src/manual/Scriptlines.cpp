// Script text rules: trimming, items, parameter markers, escapes.
#include "manual/Scriptlines.h"

#include <cstdint>

namespace telvor {
namespace {

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

// Reads digits of `base` from `at`; the count of digits read (0: no number).
std::size_t readNumber(std::string_view s, std::size_t at, int base, std::uint64_t& value) {
    std::size_t n = 0;
    value = 0;
    while (at + n < s.size()) {
        int d = digitValue(s[at + n], base);
        if (d < 0)
            break;
        value =
            value * static_cast<unsigned>(base) + static_cast<unsigned>(d); // wraps: low byte kept
        ++n;
    }
    return n;
}

} // namespace

bool readScriptPiece(std::FILE* file, std::string& piece) {
    piece.clear();
    int c = 0;
    while (piece.size() < kScriptLinePiece && (c = std::fgetc(file)) != EOF) {
        piece.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !piece.empty();
}

std::string trimScriptLine(std::string_view line) {
    std::size_t b = 0, e = line.size();
    while (b < e && isBlankOrControl(line[b]))
        ++b;
    while (e > b && isBlankOrControl(line[e - 1]))
        --e;
    return std::string(line.substr(b, e - b));
}

std::vector<std::string> splitScriptItems(std::string_view text) {
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    if (i == n)
        return items;
    while (true) {
        std::string item;
        bool quoted = false;
        while (i < n && (quoted || (!isBlank(text[i]) && text[i] != ','))) {
            if (text[i] == '"')
                quoted = !quoted;
            else
                item.push_back(text[i]);
            ++i;
        }
        items.push_back(std::move(item));
        // One separator: blanks with at most one comma among them.
        while (i < n && isBlank(text[i]))
            ++i;
        if (i < n && text[i] == ',') {
            ++i;
            while (i < n && isBlank(text[i]))
                ++i;
        } else if (i == n) {
            break;
        }
        if (i == n) {
            items.emplace_back(); // a trailing comma ends an empty item
            break;
        }
    }
    return items;
}

std::string substituteParameters(std::string_view line, const TScriptParameters& parameters) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '@' && i + 1 < line.size() && line[i + 1] >= '0' && line[i + 1] <= '9') {
            out += parameters[static_cast<std::size_t>(line[i + 1] - '0')];
            ++i;
        } else {
            out.push_back(line[i]);
        }
    }
    return out;
}

std::string toLowerAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool keepsMarkers(std::string_view line) {
    std::string head = toLowerAscii(line.substr(0, 8));
    return head.rfind("@default", 0) == 0 || head.rfind("@set", 0) == 0 ||
           head.rfind("@send", 0) == 0;
}

std::string decodeEscapes(std::string_view text) {
    static constexpr std::string_view kLetters = "abfnrtv\\'\"?";
    static constexpr char kBytes[] = {0x07, 0x08, 0x0C, 0x0A, 0x0D, 0x09,
                                      0x0B, 0x5C, 0x27, 0x22, 0x3F};
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        char next = text[i + 1];
        if (std::size_t k = kLetters.find(next); k != std::string_view::npos) {
            out.push_back(kBytes[k]);
            i += 2;
            continue;
        }
        std::uint64_t value = 0;
        std::size_t digits = 0, at = i + 1;
        if (next == 'x' || next == 'X') {
            at = i + 2;
            digits = readNumber(text, at, 16, value);
        } else if (next == '0' && at + 2 < text.size() &&
                   (text[at + 1] == 'x' || text[at + 1] == 'X') &&
                   digitValue(text[at + 2], 16) >= 0) {
            at = i + 3;
            digits = readNumber(text, at, 16, value);
        } else if (next == '0') {
            digits = readNumber(text, at, 8, value);
        } else {
            digits = readNumber(text, at, 10, value);
        }
        if (digits == 0) {
            ++i; // no number: the backslash is dropped, what follows stays
            continue;
        }
        out.push_back(static_cast<char>(value & 0xFF));
        i = at + digits;
    }
    return out;
}

std::string sendBytes(std::string_view textAfterKeyword) {
    std::string_view t = textAfterKeyword;
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
        t = t.substr(1, t.size() - 2);
    return decodeEscapes(t);
}

TScriptLineKind classifyScriptLine(std::string_view line) {
    if (line.empty() || line[0] == '#')
        return TScriptLineKind::Comment;
    if (line[0] == '@')
        return TScriptLineKind::Directive;
    if (line[0] == '%')
        return TScriptLineKind::WaitedCommand;
    return TScriptLineKind::Command;
}

TDirective parseDirective(std::string_view line) {
    TDirective d;
    std::string_view body = line.substr(line.empty() ? 0 : 1);
    d.label = !body.empty() && body[0] == ':';
    d.items = splitScriptItems(toLowerAscii(body));
    if (line.size() > 6)
        d.text = trimScriptLine(line.substr(6));
    return d;
}

bool isEchoSwitch(const TDirective& d) {
    return !d.label && d.items.size() == 2 && d.items[0] == "echo" &&
           (d.items[1] == "on" || d.items[1] == "off");
}

std::string runCommandLine(const std::vector<std::string>& scriptAndArguments) {
    if (scriptAndArguments.empty())
        return {};
    const std::string& script = scriptAndArguments.front();
    std::string line = "@";
    if (script.find_first_of(" ,") != std::string::npos)
        line += "\"" + script + "\"";
    else
        line += script;
    for (std::size_t i = 1; i < scriptAndArguments.size(); ++i)
        line += " " + scriptAndArguments[i];
    return line;
}

} // namespace telvor
