// A receiver value through every list operation of the configuration pages. The first byte
// picks the depth and index; the rest is the value. Nothing may crash or grow, and a quoted
// text must survive as one element and come back unchanged.
#include "config/Listnotation.h"
#include "protocol/Commtools.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A page's value is a few replies long; longer inputs only slow the search.
    if (size == 0 || size > 1024)
        return 0;
    const int depth = data[0] & 0x03;
    const int index = (data[0] >> 2) & 0x0F;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::string element = telvor::ListElement(text, depth, index);
    check(element.size() <= text.size());
    const int count = telvor::ListCount(text, depth);
    check(count >= 0 && static_cast<std::size_t>(count) <= text.size() + 1);
    if (count > 0)
        check(telvor::ListElement(text, depth, count + 1).empty());
    const auto all = telvor::ListElements(text, depth);
    check(count == 0 || all.size() == static_cast<std::size_t>(count));
    if (index > 0)
        check(telvor::ListElement(text, depth, index) ==
              (static_cast<std::size_t>(index) <= all.size() ? all[index - 1] : std::string()));
    check(telvor::ListElement(text, depth, 0).size() <= text.size());
    check(telvor::ElementValue(element).size() <= element.size());
    check(telvor::Unquote(text).size() <= text.size());

    const std::string quoted = telvor::Quote(text);
    check(telvor::Unquote(quoted) == telvor::TrimText(text));
    check(telvor::ValueComplete(quoted));
    const std::string list = "{" + quoted + "," + quoted + "}";
    check(telvor::ListCount(list, 1) == 2);
    check(telvor::ListElement(list, 1, 2) == quoted);

    telvor::IsNumber(text);
    telvor::IsInteger(text);
    telvor::IsUnsigned(text);
    telvor::IsIPv4Address(text);
    return 0;
}
