// One script line through every text rule of the interpreter: trimming, kind, directive
// items, parameter substitution and the escapes of "@send". Nothing may crash, hang or grow
// beyond what the rules allow.
#include "manual/Scriptlines.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is a line, then after the first NUL byte the texts of the parameters
    // separated by NUL bytes (a parameter may hold markers of its own).
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t cut = all.find('\0');
    std::string_view raw = all.substr(0, cut);
    telvor::TScriptParameters parameters;
    std::size_t longest = 0;
    if (cut != std::string_view::npos) {
        std::string_view rest = all.substr(cut + 1);
        for (std::size_t i = 0; i < parameters.size() && !rest.empty(); ++i) {
            std::size_t end = rest.find('\0');
            parameters[i] = std::string(rest.substr(0, end));
            longest = std::max(longest, parameters[i].size());
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
    }

    const std::string line = telvor::trimScriptLine(raw);
    check(line.size() <= raw.size());
    if (!line.empty())
        check(!isBlankOrControl(line.front()) && !isBlankOrControl(line.back()));

    // One pass: every marker is replaced once, nothing inserted is scanned again.
    const std::string substituted = telvor::substituteParameters(line, parameters);
    check(substituted.size() <= line.size() + (line.size() / 2) * longest);

    std::size_t total = 0;
    for (const auto& item : telvor::splitScriptItems(substituted))
        total += item.size();
    check(total <= substituted.size());

    (void)telvor::classifyScriptLine(substituted);
    (void)telvor::keepsMarkers(line);
    const telvor::TDirective d = telvor::parseDirective(substituted);
    (void)telvor::isEchoSwitch(d);
    check(d.text.size() <= substituted.size());

    // Each escape yields one byte from two or more characters.
    check(telvor::decodeEscapes(line).size() <= line.size());
    check(telvor::sendBytes(d.text).size() <= d.text.size());
    return 0;
}
