#include "sim/Commandline.h"

#include "protocol/Messageformat.h"

namespace telvorsim {
namespace {

// Splits at "&&" and "||" outside double quotes.
std::vector<std::string_view> splitJoined(std::string_view line) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && quoted) {
            ++i;
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (!quoted && i + 1 < line.size() && (c == '&' || c == '|') && line[i + 1] == c) {
            parts.push_back(line.substr(start, i - start));
            start = i + 2;
            ++i;
        }
    }
    parts.push_back(line.substr(start));
    return parts;
}

// Takes a "@XX" suffix off `text`; false when XX is not the checksum of what precedes it.
bool checkSuffix(std::string& text) {
    const std::size_t n = text.size();
    if (n < 3 || text[n - 3] != '@' || telvor::hexDigitValue(text[n - 2]) < 0 ||
        telvor::hexDigitValue(text[n - 1]) < 0)
        return true;
    const int stated = telvor::hexDigitValue(text[n - 2]) * 16 + telvor::hexDigitValue(text[n - 1]);
    if (telvor::rotatingChecksum(text.data(), n - 2) != stated)
        return false;
    text.resize(n - 3);
    return true;
}

} // namespace

std::string trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return std::string(text.substr(b, e - b));
}

TParsedLine parseLine(std::string_view raw, std::string_view echoOff) {
    TParsedLine out;
    std::string line = trim(raw);
    if (line.empty())
        return out;
    if (line[0] == '#' || (!echoOff.empty() && line == echoOff)) {
        out.kind = TLineKind::Silent;
        return out;
    }
    out.kind = TLineKind::Commands;
    for (auto part : splitJoined(line)) {
        TCommand cmd;
        std::string text = trim(part);
        // Each joined command may carry its own checksum (event records do); a single command
        // is the whole line.
        if (!checkSuffix(text)) {
            out.kind = TLineKind::BadChecksum;
            out.commands.clear();
            return out;
        }
        if (text.size() >= 2 && text[0] == '%') {
            std::size_t close = text.find('%', 1);
            if (close != std::string::npos) {
                cmd.hasId = true;
                cmd.id = text.substr(1, close - 1);
                text = trim(std::string_view(text).substr(close + 1));
            }
        }
        cmd.text = std::move(text);
        out.commands.push_back(std::move(cmd));
    }
    return out;
}

std::vector<std::string> splitArgs(std::string_view text, std::size_t maxParts) {
    std::vector<std::string> parts;
    bool quoted = false;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size() && parts.size() + 1 < maxParts; ++i) {
        char c = text[i];
        if (c == '\\' && quoted) {
            ++i;
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '{')
            ++depth;
        else if (!quoted && c == '}')
            --depth;
        else if (!quoted && depth == 0 && c == ',') {
            parts.push_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    parts.push_back(trim(text.substr(start)));
    return parts;
}

} // namespace telvorsim
