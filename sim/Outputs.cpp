#include "sim/Outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace telvorsim {
namespace {

// "1", "{1}", "{1,0.5}" -> period (and phase).
bool parsePeriod(std::string_view text, TMsgItem& item) {
    std::string t(text);
    if (!t.empty() && t.front() == '{') {
        if (t.back() != '}')
            return false;
        t = t.substr(1, t.size() - 2);
    }
    std::size_t comma = t.find(',');
    std::string first = t.substr(0, comma);
    char* end = nullptr;
    item.period = std::strtod(first.c_str(), &end);
    if (first.empty() || *end || item.period < 0)
        return false;
    if (comma != std::string::npos) {
        std::string second = t.substr(comma + 1);
        item.phase = std::strtod(second.c_str(), &end);
        if (second.empty() || *end)
            return false;
    }
    return true;
}

// Splits at commas outside braces.
std::vector<std::string_view> topLevel(std::string_view s) {
    std::vector<std::string_view> parts;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '{')
            ++depth;
        else if (s[i] == '}')
            --depth;
        else if (s[i] == ',' && depth == 0) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// "NAME[:period]" of the vxr set.
bool vxrItem(std::string_view text, std::vector<TMsgItem>& items, std::string& error) {
    TMsgItem item;
    std::size_t colon = text.find(':');
    std::string_view name = text.substr(0, colon);
    if (colon != std::string_view::npos && !parsePeriod(text.substr(colon + 1), item)) {
        error = "Invalid period";
        return false;
    }
    if (!findMessage(name)) {
        error = "Unknown message /msg/vxr/" + std::string(name);
        return false;
    }
    item.name = std::string(name);
    items.push_back(item);
    return true;
}

// Message numbers the correction sets know.
bool correctionKnown(std::string_view set, int number) {
    static const struct {
        const char* set;
        std::vector<int> numbers;
    } kSets[] = {
        {"rtcm", {1, 3, 9, 16, 18, 19, 20, 21, 22, 23, 24, 31, 32, 34}},
        {"rtcm3",
         {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1019, 1020,
          1033}},
        {"cmr", {0, 1, 2, 3, 9, 10}},
    };
    for (const auto& s : kSets)
        if (set == s.set)
            for (int n : s.numbers)
                if (n == number)
                    return true;
    return false;
}

// "<set>{/18:1,/19:1}" or "<set>/18:1" of a correction set.
bool correctionItems(std::string_view set, std::string_view rest, std::vector<TMsgItem>& items,
                     std::string& error) {
    std::vector<std::string_view> parts;
    if (!rest.empty() && rest.front() == '{') {
        if (rest.back() != '}') {
            error = "Invalid message list";
            return false;
        }
        parts = topLevel(rest.substr(1, rest.size() - 2));
    } else {
        parts.push_back(rest);
    }
    for (std::string_view part : parts) {
        if (part.empty() || part[0] != '/') {
            error = "Invalid message list";
            return false;
        }
        TMsgItem item;
        const std::size_t colon = part.find(':');
        if (colon != std::string_view::npos && !parsePeriod(part.substr(colon + 1), item)) {
            error = "Invalid period";
            return false;
        }
        const std::string number(
            part.substr(1, colon == std::string_view::npos ? colon : colon - 1));
        char* end = nullptr;
        const long n = std::strtol(number.c_str(), &end, 10);
        if (number.empty() || *end || !correctionKnown(set, static_cast<int>(n))) {
            error = "Unknown message /msg/" + std::string(set) + "/" + number;
            return false;
        }
        item.name = std::string(set) + "/" + number;
        items.push_back(item);
    }
    return true;
}

bool element(std::string_view e, std::vector<TMsgItem>& items, std::string& error) {
    if (e.substr(0, 5) == "/msg/")
        e.remove_prefix(5);
    for (std::string_view set : {"rtcm3", "rtcm", "cmr"})
        if (e.substr(0, set.size()) == set && e.size() > set.size() &&
            (e[set.size()] == '{' || e[set.size()] == '/'))
            return correctionItems(set, e.substr(set.size()), items, error);
    if (e.substr(0, 8) == "rtk/vxr/") {
        const std::size_t colon = e.find(':');
        TMsgItem first;
        std::vector<TMsgItem> set;
        if (!messageSet(e.substr(0, colon), set)) {
            error = "Unknown message /msg/" + std::string(e.substr(0, colon));
            return false;
        }
        if (colon != std::string_view::npos) {
            if (!parsePeriod(e.substr(colon + 1), first)) {
                error = "Invalid period";
                return false;
            }
            // The period given applies to the set's leading message; the others keep theirs.
            set.front().period = first.period;
            set.front().phase = first.phase;
        }
        items.insert(items.end(), set.begin(), set.end());
        return true;
    }
    if (e.substr(0, 4) == "vxr{") {
        if (e.back() != '}') {
            error = "Invalid message list";
            return false;
        }
        for (auto part : topLevel(e.substr(4, e.size() - 5))) {
            if (part.empty() || part[0] != '/') {
                error = "Invalid message list";
                return false;
            }
            if (!vxrItem(part.substr(1), items, error))
                return false;
        }
        return true;
    }
    if (e.substr(0, 4) == "vxr/")
        return vxrItem(e.substr(4), items, error);
    if (!e.empty() && e[0] == '/')
        return vxrItem(e.substr(1), items, error);
    if (e.substr(0, 3) == "def" && (e.size() == 3 || e[3] == ':')) {
        TMsgItem period;
        if (e.size() > 3 && !parsePeriod(e.substr(4), period)) {
            error = "Invalid period";
            return false;
        }
        for (auto& name : defaultSet()) {
            TMsgItem item = period;
            item.name = name;
            items.push_back(item);
        }
        return true;
    }
    error = "Invalid message list";
    return false;
}

} // namespace

bool messageSet(std::string_view name, std::vector<TMsgItem>& items) {
    static const struct {
        const char* name;
        std::vector<const char*> messages;
    } kSets[] = {
        {"rtk/vxr/min", {"RT", "SI", "PO", "EE"}},
        {"rtk/vxr/max", {"RT", "SI", "EL", "AZ", "EC", "E1", "E2", "PO", "VE", "EE"}},
    };
    for (const auto& set : kSets) {
        if (name != set.name)
            continue;
        items.clear();
        for (const char* m : set.messages)
            items.push_back({m, 1, 0});
        return true;
    }
    return false;
}

bool parseMessageList(std::string_view list, std::vector<TMsgItem>& items, std::string& error) {
    items.clear();
    if (list.empty()) {
        error = "Invalid message list";
        return false;
    }
    if (list.front() == '{') {
        if (list.back() != '}') {
            error = "Invalid message list";
            return false;
        }
        for (auto e : topLevel(list.substr(1, list.size() - 2)))
            if (!element(e, items, error))
                return false;
        return true;
    }
    return element(list, items, error);
}

void TOutputs::enable(const std::string& port, const std::vector<TMsgItem>& items) {
    for (auto& item : items) {
        TSetting s;
        s.period = item.period < 0 ? 1 : item.period;
        s.phase = item.phase;
        if (item.name.find('/') == std::string::npos) {
            ports_[port][item.name] = s;
            continue;
        }
        auto& list = corrections_[port];
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const auto& c) { return c.first == item.name; });
        if (at != list.end())
            at->second = s;
        else
            list.emplace_back(item.name, s);
    }
}

void TOutputs::disable(const std::string& port) {
    ports_.erase(port);
    corrections_.erase(port);
}

void TOutputs::disable(const std::string& port, const std::vector<TMsgItem>& items) {
    auto it = ports_.find(port);
    auto& list = corrections_[port];
    for (auto& item : items) {
        if (it != ports_.end())
            it->second.erase(item.name);
        std::erase_if(list, [&](const auto& c) { return c.first == item.name; });
    }
}

std::vector<std::string> TOutputs::enabled(const std::string& port) const {
    std::vector<std::string> names;
    auto it = ports_.find(port);
    if (it == ports_.end())
        return names;
    for (auto& def : messageTable())
        if (it->second.count(def.name))
            names.push_back(def.name);
    return names;
}

std::string TOutputs::printOne(const std::string& port, const std::string& name) const {
    auto it = ports_.find(port);
    if (it == ports_.end() || !it->second.count(name))
        return "{off}";
    const TSetting& s = it->second.at(name);
    char text[64];
    std::snprintf(text, sizeof text, "{%.2f,%.2f}", s.period, s.phase);
    return text;
}

std::string TOutputs::print(const std::string& port) const {
    std::string out = "{";
    for (auto& name : enabled(port)) {
        if (out.size() > 1)
            out.push_back(',');
        out += "vxr/" + name + "=" + printOne(port, name);
    }
    auto corrections = corrections_.find(port);
    if (corrections != corrections_.end())
        for (auto& [name, s] : corrections->second) {
            char text[64];
            std::snprintf(text, sizeof text, "={%.2f,%.2f}", s.period, s.phase);
            if (out.size() > 1)
                out.push_back(',');
            out += name + text;
        }
    return out + "}";
}

std::vector<TOutputs::TDue> TOutputs::due(const std::string& port, std::int64_t timeMs) {
    std::vector<TDue> out;
    auto it = ports_.find(port);
    if (it == ports_.end())
        return out;
    for (auto& def : messageTable()) {
        auto s = it->second.find(def.name);
        if (s == it->second.end())
            continue;
        TSetting& st = s->second;
        if (def.onEvent || st.period == 0) {
            out.push_back({&def, st.period == 0 && !def.onEvent, !st.sent});
            st.sent = true;
            continue;
        }
        // Due once per period slot, slots aligned to receiver time plus the phase.
        auto periodMs = static_cast<std::int64_t>(std::llround(st.period * 1000));
        auto phaseMs = static_cast<std::int64_t>(std::llround(st.phase * 1000));
        std::int64_t slot = periodMs > 0 ? (timeMs - phaseMs) / periodMs : timeMs;
        if (st.sent && slot == st.lastSlot)
            continue;
        out.push_back({&def, false, !st.sent});
        st.sent = true;
        st.lastSlot = slot;
    }
    return out;
}

bool TOutputs::changed(const std::string& port, const std::string& name, const std::string& bytes) {
    auto& st = ports_[port][name];
    if (st.lastBytes == bytes)
        return false;
    st.lastBytes = bytes;
    return true;
}

} // namespace telvorsim
