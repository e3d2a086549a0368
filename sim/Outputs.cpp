#include "sim/Outputs.h"

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

bool element(std::string_view e, std::vector<TMsgItem>& items, std::string& error) {
    if (e.substr(0, 5) == "/msg/")
        e.remove_prefix(5);
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
    auto& settings = ports_[port];
    for (auto& item : items) {
        TSetting s;
        s.period = item.period < 0 ? 1 : item.period;
        s.phase = item.phase;
        settings[item.name] = s;
    }
}

void TOutputs::disable(const std::string& port) {
    ports_.erase(port);
}

void TOutputs::disable(const std::string& port, const std::vector<TMsgItem>& items) {
    auto it = ports_.find(port);
    if (it == ports_.end())
        return;
    for (auto& item : items)
        it->second.erase(item.name);
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
            out.push_back({&def, st.period == 0 && !def.onEvent});
            continue;
        }
        // Due once per period slot, slots aligned to receiver time plus the phase.
        auto periodMs = static_cast<std::int64_t>(std::llround(st.period * 1000));
        auto phaseMs = static_cast<std::int64_t>(std::llround(st.phase * 1000));
        std::int64_t slot = periodMs > 0 ? (timeMs - phaseMs) / periodMs : timeMs;
        if (st.sent && slot == st.lastSlot)
            continue;
        st.sent = true;
        st.lastSlot = slot;
        out.push_back({&def, false});
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
