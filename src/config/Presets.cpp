#include "config/Presets.h"

#include "config/Listnotation.h"
#include "protocol/Commtools.h"

#include <cstdlib>
#include <vector>

namespace telvor {
namespace {

struct TMember {
    std::string name;   // "rtcm/1"
    std::string period; // "<T>" or a fixed figure
};

// "/msg/rtcm{/1:<T>,/3:10}" -> rtcm/1 <T>, rtcm/3 10; a set name alone ("rtk/vxr/min") gives
// no members: those presets are recognised through the receiver's expansion.
std::vector<TMember> membersOf(std::string_view list) {
    std::vector<TMember> members;
    const std::size_t open = list.find('{');
    if (open == std::string_view::npos || list.back() != '}')
        return members;
    const std::string set(list.substr(5, open - 5)); // after "/msg/"
    for (const std::string& item : SplitItems(list.substr(open + 1, list.size() - open - 2))) {
        const std::size_t colon = item.find(':');
        members.push_back({set + item.substr(0, colon), item.substr(colon + 1)});
    }
    return members;
}

std::string nameOf(const std::string& element) {
    std::string name = TrimText(element.substr(0, element.find('=')));
    if (name.compare(0, 5, "/msg/") == 0)
        name.erase(0, 5);
    else if (!name.empty() && name.front() == '/')
        name.erase(0, 1);
    return name;
}

// An element's settings ("{1.00,0.00}", or a bare period) as a list of fields.
std::vector<std::string> settingsOf(const std::string& element) {
    const std::string value = ElementValue(element);
    if (value.empty() || value.front() != '{')
        return {value};
    if (ListCount(value, 1) == 0)
        return {};
    return ListElements(value, 1);
}

std::string periodOf(const std::string& element) {
    const auto fields = settingsOf(element);
    return fields.empty() ? std::string() : fields.front();
}

bool sameNumber(const std::string& a, const std::string& b) {
    return IsNumber(a) && IsNumber(b) &&
           std::strtod(a.c_str(), nullptr) == std::strtod(b.c_str(), nullptr);
}

bool matchesPreset(const std::vector<std::string>& elements, const TOutputPreset& preset) {
    const auto members = membersOf(preset.list ? preset.list : "");
    if (members.empty() || members.size() != elements.size())
        return false;
    const std::string first = periodOf(elements.front());
    if (!IsNumber(first))
        return false;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (nameOf(elements[i]) != members[i].name)
            return false;
        const std::string& wanted = members[i].period == "<T>" ? first : members[i].period;
        if (!sameNumber(periodOf(elements[i]), wanted))
            return false;
    }
    return true;
}

// The port's list against a message set's expansion: same names in order, same settings but
// for the first element's period.
bool matchesExpansion(const std::vector<std::string>& elements, const std::string& expansion) {
    if (ListCount(expansion, 1) != static_cast<int>(elements.size()))
        return false;
    const auto others = ListElements(expansion, 1);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::string& other = others[i];
        if (nameOf(elements[i]) != nameOf(other))
            return false;
        auto mine = settingsOf(elements[i]), theirs = settingsOf(other);
        if (i == 0 && !mine.empty() && !theirs.empty())
            mine.front() = theirs.front();
        if (mine != theirs)
            return false;
    }
    return true;
}

} // namespace

const ValueList kInputModeValues{"none", "cmd", "echo", "rtcm", "rtcm3", "cmr", "vxr", "omni"};
const ValueList kInputModeCaptions{"None",     "Command", "Echo", "RTCM 2.x",
                                   "RTCM 3.x", "CMR",     "VXR",  "Omni"};

ValueList PresetCaptions() {
    ValueList captions;
    for (const TOutputPreset& p : kOutputPresets)
        captions.push_back(p.caption);
    return captions;
}

std::string PresetCommand(const std::string& port, const std::string& presetCaption,
                          const std::string& period) {
    for (const TOutputPreset& p : kOutputPresets) {
        if (presetCaption != p.caption)
            continue;
        if (!p.list)
            return {};
        std::string list = p.list;
        if (list.empty())
            return "%%";
        for (std::size_t at = list.find("<T>"); at != std::string::npos;
             at = list.find("<T>", at + period.size()))
            list.replace(at, 3, period);
        return "%%em," + port + "," + list;
    }
    return "none";
}

TDetectedPreset DetectPreset(TParamReader& in, const std::string& port) {
    const auto reply = in.collect("/par/out" + port + ":on");
    if (!reply || reply->empty() || reply->front() != '{' || !ValueComplete(*reply))
        return {};
    const int count = ListCount(*reply, 1);
    const auto elements = count == 0 ? std::vector<std::string>() : ListElements(*reply, 1);
    if (count == 0 || (count == 1 && elements.front().empty()))
        return {true, "None", {}};
    if (count <= 4)
        for (const TOutputPreset& p : kOutputPresets)
            if (matchesPreset(elements, p))
                return {true, p.caption, periodOf(elements.front())};
    for (const char* set : {"min", "max"}) {
        const auto expansion = in.collect(std::string("/msg/rtk/vxr/") + set + ":on");
        if (expansion && matchesExpansion(elements, *expansion))
            return {true, std::string("RTK VXR ") + set, periodOf(elements.front())};
    }
    return {true, kUserDefined, {}};
}

} // namespace telvor
