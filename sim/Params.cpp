#include "sim/Params.h"

#include <cstdlib>
#include <sstream>

namespace telvorsim {
namespace {

// Splits a row into whitespace-separated tokens; a double-quoted token keeps its blanks.
std::vector<std::string> tokens(std::string_view line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        std::string t;
        if (line[i] == '"') {
            std::size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos)
                end = line.size();
            t = std::string(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                t.push_back(line[i++]);
        }
        out.push_back(std::move(t));
    }
    return out;
}

// "/a/{x,y}/{1..3}" -> every combination.
void expand(const std::string& path, std::vector<std::string>& out) {
    std::size_t open = path.find('{');
    if (open == std::string::npos) {
        out.push_back(path);
        return;
    }
    std::size_t close = path.find('}', open);
    std::string head = path.substr(0, open), tail = path.substr(close + 1);
    std::string inner = path.substr(open + 1, close - open - 1);
    std::size_t dots = inner.find("..");
    if (dots != std::string::npos) {
        int lo = std::atoi(inner.substr(0, dots).c_str());
        int hi = std::atoi(inner.substr(dots + 2).c_str());
        for (int v = lo; v <= hi; ++v)
            expand(head + std::to_string(v) + tail, out);
        return;
    }
    std::stringstream ss(inner);
    std::string alt;
    while (std::getline(ss, alt, ','))
        expand(head + alt + tail, out);
}

bool parseNumber(const std::string& text, bool integer, double& v) {
    if (text.empty())
        return false;
    char* end = nullptr;
    if (integer) {
        long n = std::strtol(text.c_str(), &end, 10);
        v = static_cast<double>(n);
    } else {
        v = std::strtod(text.c_str(), &end);
    }
    return end && *end == 0;
}

bool kindOf(const std::string& word, TParamKind& kind) {
    static const struct {
        const char* word;
        TParamKind kind;
    } kKinds[] = {{"ro", TParamKind::ReadOnly}, {"enum", TParamKind::Enum},
                  {"int", TParamKind::Int},     {"float", TParamKind::Float},
                  {"text", TParamKind::Text},   {"list", TParamKind::List}};
    for (auto& k : kKinds)
        if (word == k.word) {
            kind = k.kind;
            return true;
        }
    return false;
}

// "{a,b}" with as many elements as the default, each one of the choices.
bool flatListFits(const std::string& value, const TParam& p) {
    auto elements = [](const std::string& list) {
        std::vector<std::string> out;
        if (list.size() < 2 || list.front() != '{' || list.back() != '}')
            return out;
        std::stringstream ss(list.substr(1, list.size() - 2));
        std::string e;
        while (std::getline(ss, e, ','))
            out.push_back(e);
        return out;
    };
    const std::vector<std::string> given = elements(value);
    if (given.empty() || given.size() != elements(p.defaultValue).size())
        return false;
    for (const std::string& e : given) {
        bool known = false;
        for (const std::string& c : p.choices)
            known = known || c == e;
        if (!known)
            return false;
    }
    return true;
}

void appendQuoted(std::string& out, std::string_view value) {
    if (value.empty()) {
        out.append("\"\"");
        return;
    }
    if (value.find_first_of(" ,{}\"\\;:@%#&|\r\n") == std::string_view::npos) {
        out.append(value);
        return;
    }
    out.push_back('"');
    for (char c : value) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

} // namespace

std::string quoteValue(const std::string& value) {
    std::string out;
    appendQuoted(out, value);
    return out;
}

TParamTree::TParamTree(std::string_view table, TResolver resolver, std::string* error)
    : resolver_(std::move(resolver)) {
    std::size_t pos = 0;
    while (pos < table.size()) {
        std::size_t end = table.find('\n', pos);
        if (end == std::string_view::npos)
            end = table.size();
        std::string_view line = table.substr(pos, end - pos);
        pos = end + 1;
        auto t = tokens(line);
        if (t.empty() || t[0][0] == '#')
            continue;
        TParam p;
        if (t.size() < 3 || !kindOf(t[1], p.kind)) {
            if (error && error->empty())
                *error = "bad row: " + std::string(line);
            continue;
        }
        p.defaultValue = t[2];
        p.dynamic = !t[2].empty() && t[2][0] == '@';
        if (t.size() > 3) {
            // A list's choices hold for each element of a flat list of the default's length.
            if (p.kind == TParamKind::Enum || p.kind == TParamKind::List) {
                std::stringstream ss(t[3]);
                std::string c;
                while (std::getline(ss, c, '|'))
                    p.choices.push_back(c);
            } else if (p.kind == TParamKind::Int || p.kind == TParamKind::Float) {
                std::size_t dots = t[3].find("..");
                p.low = std::strtod(t[3].substr(0, dots).c_str(), nullptr);
                p.high = std::strtod(t[3].substr(dots + 2).c_str(), nullptr);
            }
        }
        p.value = p.defaultValue;
        std::vector<std::string> paths;
        expand(t[0], paths);
        for (auto& path : paths)
            params_[path] = p;
    }
}

bool TParamTree::isNode(const std::string& path) const {
    // The first row below it that is not an attribute settles it.
    const std::string prefix = path == "/" ? "/" : path + "/";
    for (auto it = params_.lower_bound(prefix);
         it != params_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
        if (it->first.find('&', prefix.size()) == std::string::npos)
            return true;
    return false;
}

const TParam* TParamTree::find(const std::string& path) const {
    auto it = params_.find(path);
    return it == params_.end() ? nullptr : &it->second;
}

std::string TParamTree::resolve(const TParam& p) const {
    if (p.dynamic && resolver_)
        return resolver_(std::string_view(p.value).substr(1));
    return p.value;
}

std::optional<std::string> TParamTree::get(const std::string& path) const {
    auto p = find(path);
    if (!p)
        return std::nullopt;
    return resolve(*p);
}

std::optional<std::string> TParamTree::getDefault(const std::string& path) const {
    auto p = find(path);
    if (!p)
        return std::nullopt;
    if (p->dynamic && resolver_)
        return resolver_(std::string_view(p->defaultValue).substr(1));
    return p->defaultValue;
}

TSetResult TParamTree::set(const std::string& path, const std::string& value) {
    auto it = params_.find(path);
    if (it == params_.end())
        return TSetResult::UnknownPath;
    TSetResult result = setRow(it->second, value);
    if (result == TSetResult::Ok)
        touched_.insert(path);
    return result;
}

TSetResult TParamTree::setRow(TParam& p, const std::string& value) {
    double v = 0;
    switch (p.kind) {
    case TParamKind::ReadOnly:
        return TSetResult::ReadOnly;
    case TParamKind::Enum: {
        for (auto& c : p.choices)
            if (c == value) {
                p.value = value;
                return TSetResult::Ok;
            }
        return TSetResult::BadValue;
    }
    case TParamKind::Int:
    case TParamKind::Float:
        if (!parseNumber(value, p.kind == TParamKind::Int, v) || v < p.low || v > p.high)
            return TSetResult::BadValue;
        // Stored as the receiver would print it back, not as typed ("+07" reads back "7").
        p.value = p.kind == TParamKind::Int ? std::to_string(static_cast<long>(v)) : value;
        return TSetResult::Ok;
    case TParamKind::List: {
        int depth = 0;
        bool quoted = false;
        for (std::size_t i = 0; i < value.size(); ++i) {
            char c = value[i];
            if (c == '\\') {
                ++i;
                continue;
            }
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == '{')
                ++depth;
            else if (!quoted && c == '}' && --depth < 0)
                return TSetResult::BadValue;
        }
        if (depth != 0 || quoted)
            return TSetResult::BadValue;
        if (!p.choices.empty() && !flatListFits(value, p))
            return TSetResult::BadValue;
        p.value = value;
        return TSetResult::Ok;
    }
    case TParamKind::Text:
        p.value = value;
        return TSetResult::Ok;
    }
    return TSetResult::BadValue;
}

void TParamTree::force(const std::string& path, const std::string& value) {
    auto it = params_.find(path);
    if (it != params_.end()) {
        it->second.value = value;
        touched_.insert(path);
    }
}

int TParamTree::restoreDefaults(const std::string& prefix) {
    // Only rows written since their last restore can differ from their defaults: a power-up
    // then costs the few rows a session changed, not the whole table.
    std::string dir = prefix.empty() || prefix.back() != '/' ? prefix + "/" : prefix;
    int changed = 0;
    for (auto t = touched_.lower_bound(prefix);
         t != touched_.end() && t->compare(0, prefix.size(), prefix) == 0;) {
        if (*t != prefix && t->compare(0, dir.size(), dir) != 0) {
            ++t;
            continue;
        }
        auto it = params_.find(*t);
        if (it != params_.end() && it->second.value != it->second.defaultValue) {
            it->second.value = it->second.defaultValue;
            ++changed;
        }
        t = touched_.erase(t);
    }
    return changed;
}

int TParamTree::remove(const std::string& path) {
    const std::string dir = path.empty() || path.back() != '/' ? path + "/" : path;
    int removed = 0;
    for (auto it = params_.begin(); it != params_.end();) {
        if (it->first == path || it->first.compare(0, dir.size(), dir) == 0) {
            it = params_.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    return removed;
}

void TParamTree::setDefault(const std::string& path, const std::string& value) {
    auto it = params_.find(path);
    if (it != params_.end()) {
        it->second.defaultValue = value;
        touched_.insert(path);
    }
}

std::vector<std::string> TParamTree::children(const std::string& path) const {
    std::vector<std::string> out;
    std::string prefix = path == "/" ? "/" : path + "/";
    for (auto it = params_.lower_bound(prefix);
         it != params_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        std::string rest = it->first.substr(prefix.size());
        // Attribute rows ("/dev/blk/a&blocks") are not part of the tree.
        if (rest.find('&') != std::string::npos)
            continue;
        std::string name = rest.substr(0, rest.find('/'));
        if (out.empty() || out.back() != name)
            out.push_back(name);
    }
    return out;
}

// One pass over the sorted rows below `path`: the rows of a node are contiguous, so braces
// open and close as the path components change. ("print,/" walks the whole tree.)
std::string TParamTree::printNode(const std::string& path) const {
    if (auto p = find(path))
        return quoteValue(resolve(*p));
    const std::string prefix = path == "/" ? "/" : path + "/";
    std::string out = "{";
    std::vector<std::string_view> open; // nodes opened below `path`
    std::vector<bool> empty{true};      // per level: nothing written yet
    std::string_view lastLeaf;
    std::vector<std::string_view> parts;
    for (auto it = params_.lower_bound(prefix);
         it != params_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        std::string_view rest = std::string_view(it->first).substr(prefix.size());
        // Attribute rows ("/dev/blk/a&blocks") are not part of the tree.
        if (rest.find('&') != std::string_view::npos)
            continue;
        // A row below a name already printed as a leaf.
        if (!lastLeaf.empty() && rest.size() > lastLeaf.size() &&
            rest.compare(0, lastLeaf.size(), lastLeaf) == 0 && rest[lastLeaf.size()] == '/')
            continue;
        parts.clear();
        for (std::size_t at = 0;;) {
            std::size_t slash = rest.find('/', at);
            parts.push_back(rest.substr(at, slash - at));
            if (slash == std::string_view::npos)
                break;
            at = slash + 1;
        }
        std::size_t same = 0;
        while (same < open.size() && same + 1 < parts.size() && open[same] == parts[same])
            ++same;
        while (open.size() > same) {
            out.push_back('}');
            open.pop_back();
            empty.pop_back();
        }
        auto separate = [&] {
            if (!empty.back())
                out.push_back(',');
            empty.back() = false;
        };
        for (std::size_t i = same; i + 1 < parts.size(); ++i) {
            separate();
            out.append(parts[i]).append("={");
            open.push_back(parts[i]);
            empty.push_back(true);
        }
        separate();
        out.append(parts.back()).append("=");
        // A whole-tree print visits thousands of rows: no copy of a stored value.
        if (it->second.dynamic && resolver_)
            appendQuoted(out, resolve(it->second));
        else
            appendQuoted(out, it->second.value);
        lastLeaf = rest;
    }
    out.append(open.size(), '}');
    out.push_back('}');
    return out;
}

} // namespace telvorsim
