#pragma once
// Reads the hand-written cases of tests/data/: "[name]" starts a case, "key: value" lines
// follow (a key may carry one word: "frame RT: ..."), "#" lines are comments. A value is a
// row of tokens: "text" in double quotes (escapes \r \n \t \" \\ \xNN), a pair of hex digits
// for one byte, or any other word as plain text. A "+: ..." line continues the value above.
#include "protocol/Messageformat.h"

#include <cctype>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#ifndef TELVOR_SOURCE_DIR
#error "golden data are found through TELVOR_SOURCE_DIR"
#endif

namespace telvor::testing {

struct TGoldenEntry {
    std::string key;
    std::string arg; // the word after the key, if any
    std::string raw; // the value as written, trimmed
    std::vector<std::string> tokens;
    int line = 0;

    // All tokens run together: the bytes the value stands for.
    std::string bytes() const {
        std::string out;
        for (const auto& t : tokens)
            out += t;
        return out;
    }
};

struct TGoldenCase {
    std::string file;
    std::string name;
    int line = 0;
    std::vector<TGoldenEntry> entries;

    const TGoldenEntry* find(std::string_view key) const {
        for (const auto& e : entries)
            if (e.key == key)
                return &e;
        return nullptr;
    }
    bool has(std::string_view key) const { return find(key) != nullptr; }
    const TGoldenEntry& get(std::string_view key) const {
        if (const TGoldenEntry* e = find(key))
            return *e;
        throw std::runtime_error(where() + ": no \"" + std::string(key) + "\"");
    }
    std::string bytes(std::string_view key) const { return get(key).bytes(); }
    std::string raw(std::string_view key) const { return get(key).raw; }
    long number(std::string_view key, int base = 10) const {
        return std::stol(get(key).raw, nullptr, base);
    }
    std::vector<const TGoldenEntry*> all(std::string_view key) const {
        std::vector<const TGoldenEntry*> out;
        for (const auto& e : entries)
            if (e.key == key)
                out.push_back(&e);
        return out;
    }
    // For failure messages: "frames.txt:12 [name]".
    std::string where() const { return file + ":" + std::to_string(line) + " [" + name + "]"; }
};

namespace golden_detail {

inline std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

inline std::vector<std::string> tokens(std::string_view v, const std::string& where) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < v.size()) {
        if (std::isspace(static_cast<unsigned char>(v[i]))) {
            ++i;
            continue;
        }
        if (v[i] == '"') {
            std::string t;
            ++i;
            for (;;) {
                if (i >= v.size())
                    throw std::runtime_error(where + ": unterminated quote");
                char c = v[i++];
                if (c == '"')
                    break;
                if (c != '\\') {
                    t += c;
                    continue;
                }
                if (i >= v.size())
                    throw std::runtime_error(where + ": backslash at the end");
                char e = v[i++];
                switch (e) {
                case 'r':
                    t += '\r';
                    break;
                case 'n':
                    t += '\n';
                    break;
                case 't':
                    t += '\t';
                    break;
                case '"':
                    t += '"';
                    break;
                case '\\':
                    t += '\\';
                    break;
                case 'x': {
                    int hi = i + 1 < v.size() ? telvor::hexDigitValue(v[i]) : -1;
                    int lo = i + 1 < v.size() ? telvor::hexDigitValue(v[i + 1]) : -1;
                    if (hi < 0 || lo < 0)
                        throw std::runtime_error(where + ": bad \\x escape");
                    t += static_cast<char>(hi * 16 + lo);
                    i += 2;
                    break;
                }
                default:
                    throw std::runtime_error(where + ": unknown escape \\" + std::string(1, e));
                }
            }
            out.push_back(std::move(t));
            continue;
        }
        std::size_t end = i;
        while (end < v.size() && !std::isspace(static_cast<unsigned char>(v[end])))
            ++end;
        std::string_view word = v.substr(i, end - i);
        if (word.size() == 2 && telvor::hexDigitValue(word[0]) >= 0 &&
            telvor::hexDigitValue(word[1]) >= 0)
            out.push_back(std::string(1, static_cast<char>(telvor::hexDigitValue(word[0]) * 16 +
                                                           telvor::hexDigitValue(word[1]))));
        else
            out.emplace_back(word);
        i = end;
    }
    return out;
}

} // namespace golden_detail

// Every case of tests/data/<file>, in file order. A malformed file throws with its line.
inline std::vector<TGoldenCase> loadGolden(const std::string& file) {
    const std::string path = std::string(TELVOR_SOURCE_DIR) + "/tests/data/" + file;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<TGoldenCase> cases;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        const std::string where = file + ":" + std::to_string(number);
        std::string line = golden_detail::trim(text);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            cases.push_back({file, line.substr(1, line.size() - 2), number, {}});
            continue;
        }
        std::size_t colon = line.find(':');
        if (cases.empty() || colon == std::string::npos)
            throw std::runtime_error(where + ": expected \"key: value\" inside a case");
        std::string head = golden_detail::trim(line.substr(0, colon));
        if (head == "+") {
            // Continues the entry above: a long value over several lines.
            if (cases.back().entries.empty())
                throw std::runtime_error(where + ": \"+:\" with nothing to continue");
            TGoldenEntry& last = cases.back().entries.back();
            std::string more = golden_detail::trim(line.substr(colon + 1));
            for (auto& t : golden_detail::tokens(more, where))
                last.tokens.push_back(std::move(t));
            last.raw += " " + more;
            continue;
        }
        TGoldenEntry e;
        std::size_t space = head.find(' ');
        e.key = head.substr(0, space);
        if (space != std::string::npos)
            e.arg = golden_detail::trim(head.substr(space));
        e.raw = golden_detail::trim(line.substr(colon + 1));
        e.tokens = golden_detail::tokens(e.raw, where);
        e.line = number;
        cases.back().entries.push_back(std::move(e));
    }
    return cases;
}

inline const TGoldenCase& goldenCase(const std::vector<TGoldenCase>& cases, std::string_view name) {
    for (const auto& c : cases)
        if (c.name == name)
            return c;
    throw std::runtime_error("no case [" + std::string(name) + "]");
}

} // namespace telvor::testing
