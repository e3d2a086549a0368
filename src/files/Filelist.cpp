#include "files/Filelist.h"

#include "protocol/Commtools.h"
#include "protocol/Numbers.h"

#include <charconv>
#include <ctime>

namespace telvor {
namespace {

constexpr std::int64_t kFileEpochOffsetS = 567993600; // 1970-01-01 to 1988-01-01

std::string_view trim(std::string_view t) {
    while (!t.empty() && static_cast<unsigned char>(t.front()) <= ' ')
        t.remove_prefix(1);
    while (!t.empty() && static_cast<unsigned char>(t.back()) <= ' ')
        t.remove_suffix(1);
    return t;
}

std::string formatTime(std::int64_t time, const char* format) {
    // Far outside the receiver's range the calendar is not worth asking.
    if (time < 0 || time > 0xFFFFFFFFll)
        time = 0;
    std::time_t t = static_cast<std::time_t>(time + kFileEpochOffsetS);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::size_t n = std::strftime(text, sizeof text, format, &tm);
    return std::string(text, n);
}

} // namespace

bool ParseFileListElement(std::string_view text, TFileEntry& entry) {
    text = trim(text);
    // The element carries the list's opening brace, a separating comma or the closing brace.
    if (text.size() > 4 && text.front() == '{' && text[text.size() - 2] == '}') {
        text = trim(text.substr(1, text.size() - 3));
        if (!text.empty() && text.front() == '{')
            text = trim(text.substr(1));
    }
    // The name in quotes, so that blanks in it stay.
    std::string quoted = "\"" + std::string(text);
    std::size_t comma = quoted.find(',');
    if (comma != std::string::npos)
        quoted.insert(comma, 1, '"');
    auto fields = SplitItems(quoted);
    if (fields.size() != 3)
        return false;
    std::string_view name = trim(fields[0]);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = trim(name.substr(1, name.size() - 2));
    entry.name = std::string(name);
    entry.caption = entry.name + ".vxr";
    entry.size = std::string(trim(fields[1]));
    std::string_view time = trim(fields[2]);
    entry.time = parseInteger(time).value_or(0);
    return true;
}

std::string FileDate(std::int64_t time) {
    return formatTime(time, "%x");
}

std::string FileTimeOfDay(std::int64_t time) {
    return formatTime(time, "%X");
}

std::string TargetName(std::string_view edited, std::string_view receiverName) {
    std::string name(trim(edited));
    if (name.empty())
        name = receiverName;
    if (name.find('.') == std::string::npos)
        name += ".vxr";
    return name;
}

} // namespace telvor
