#include "config/Listnotation.h"

#include "protocol/Listscan.h"

#include <vector>

namespace telvor {
namespace {

bool isBlankText(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > ' ')
            return false;
    return true;
}

struct TSpan {
    std::size_t begin = 0, end = 0;
};

// The elements at `depth`, each as a span of `text`; false when a quote stays open. Every
// "{" that enters `depth` starts a list of its own; a stray "}" below depth 0 is ignored.
bool scanElements(std::string_view text, int depth, std::vector<TSpan>& out, bool& balanced) {
    int level = 0;
    bool inside = depth <= 0;
    balanced = true;
    TSpan current{0, 0};
    bool split = false; // the current list has a comma at `depth`
    auto close = [&](std::size_t at) {
        current.end = at;
        // "{}" is an empty list, not a list of one empty element.
        if (!split && isBlankText(text.substr(current.begin, at - current.begin)))
            return;
        out.push_back(current);
    };
    const bool closed = scanListSyntax(text, [&](std::size_t i, char c) {
        if (c == '{') {
            ++level;
            if (level == depth) {
                inside = true;
                split = false;
                current = {i + 1, i + 1};
            }
        } else if (c == '}') {
            if (level == 0) {
                balanced = false;
                return true;
            }
            if (level == depth && inside) {
                close(i);
                inside = false;
            }
            --level;
        } else if (c == ',' && inside && level == (depth <= 0 ? 0 : depth)) {
            split = true;
            close(i);
            current = {i + 1, i + 1};
        }
        return true;
    });
    if (depth <= 0)
        close(text.size());
    else if (inside)
        close(text.size());
    if (level != 0)
        balanced = false;
    return closed;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::string TrimText(std::string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return std::string(text.substr(first, last - first));
}

std::string ListElement(std::string_view text, int depth, int index) {
    std::vector<TSpan> spans;
    bool balanced = true;
    if (index < 0 || !scanElements(text, depth, spans, balanced))
        return {};
    if (index == 0) {
        std::string all;
        for (std::size_t k = 0; k < spans.size(); ++k) {
            if (k)
                all += ',';
            all += TrimText(text.substr(spans[k].begin, spans[k].end - spans[k].begin));
        }
        return all;
    }
    if (static_cast<std::size_t>(index) > spans.size())
        return {};
    const TSpan& s = spans[static_cast<std::size_t>(index) - 1];
    return TrimText(text.substr(s.begin, s.end - s.begin));
}

std::vector<std::string> ListElements(std::string_view text, int depth) {
    std::vector<TSpan> spans;
    bool balanced = true;
    std::vector<std::string> out;
    if (!scanElements(text, depth, spans, balanced))
        return out;
    out.reserve(spans.size());
    for (const TSpan& s : spans)
        out.push_back(TrimText(text.substr(s.begin, s.end - s.begin)));
    return out;
}

int ListCount(std::string_view text, int depth) {
    std::vector<TSpan> spans;
    bool balanced = true;
    if (!scanElements(text, depth, spans, balanced) || !balanced)
        return 0;
    return static_cast<int>(spans.size());
}

std::string ElementValue(std::string_view text) {
    std::string_view value = text;
    scanListSyntax(text, [&](std::size_t at, char c) {
        if (c != '=' && c != '{')
            return true;
        value = text.substr(c == '=' ? at + 1 : at);
        return false;
    });
    return TrimText(value);
}

std::string Quote(std::string_view text) {
    const std::string t = TrimText(text);
    if (t.empty())
        return "\"\"";
    if (t.find_first_of("\r\n;{},:@%\"\\#&|") == std::string::npos)
        return t;
    std::string out = "\"";
    for (char c : t) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string Unquote(std::string_view text) {
    const std::string t = TrimText(text);
    if (t.size() < 2 || t.front() != '"' || t.back() != '"')
        return t;
    std::string out;
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        if (t[i] == '\\' && i + 2 < t.size())
            ++i;
        out += t[i];
    }
    return out;
}

bool IsUnsigned(std::string_view text) {
    return allDigits(text);
}

bool IsInteger(std::string_view text) {
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    return allDigits(text);
}

bool IsNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        if (!allDigits(text.substr(i)))
            return false;
        return true;
    }
    return i == text.size();
}

bool IsIPv4Address(std::string_view text) {
    if (text.size() < 7 || text.size() > 16)
        return false;
    int parts = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '.')
            continue;
        const std::string_view part = text.substr(start, i - start);
        if (part.size() < 1 || part.size() > 3 || !allDigits(part))
            return false;
        int v = 0;
        for (char c : part)
            v = v * 10 + (c - '0');
        if (v > 255)
            return false;
        ++parts;
        start = i + 1;
    }
    return parts == 4;
}

} // namespace telvor
