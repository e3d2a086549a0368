#include "monitor/Maskrules.h"

#include "monitor/Numformat.h"
#include "protocol/Numbers.h"

#include <climits>

namespace telvor {

int maskFromReply(std::string_view reply) {
    auto v = parseInteger(reply);
    return v && *v >= INT_MIN && *v <= INT_MAX ? static_cast<int>(*v) : 0;
}

std::string maskEditText(int mask) {
    return std::to_string(mask);
}

int maskFromEdit(std::string_view text) {
    int v = maskFromReply(text);
    return v < 0 ? 0 : v;
}

std::optional<std::string> maskCommand(int oldMask, int newMask) {
    if (oldMask == newMask)
        return std::nullopt;
    return "%%set," + std::string(kMaskParameter) + "," + std::to_string(newMask);
}

} // namespace telvor
