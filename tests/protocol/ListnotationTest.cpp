// The receiver's list notation as the command engine reads it when it collects a complete
// value: values in curly braces separated by commas, nested,
// with double-quoted strings and backslash escapes. A value may come over several "RE"
// replies; it is complete once the braces outside quotes balance and no quote is open.
#include "protocol/Commtools.h"
#include "protocol/Listscan.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace telvor {
namespace {

struct TCompleteCase {
    const char* text;
    bool complete;
    const char* why;
};

const TCompleteCase kCompleteCases[] = {
    {"", true, "nothing open"},
    {"42", true, "a plain value"},
    {"{}", true, "an empty list"},
    {"{vxr/RT:1.00,vxr/PO:1.00}", true, "a message list"},
    {"{1,{2,3}}", true, "nested lists"},
    {"{1,{2,3}", false, "the outer list is still open"},
    {"{vxr/RT:1.00,vxr/PO", false, "the first reply of a list that continues"},
    {"{", false, "a list just begun"},
    {"{\"}\"", false, "a brace in quotes does not close the list"},
    {"{\"}\"}", true, "a quoted brace, then the real one"},
    {"{\"a,b}", false, "a quote is open"},
    {"\"abc", false, "a quote is open outside any list"},
    {"\"abc\"", true, "a closed quote"},
    {"{\"a\\\"b\"}", true, "an escaped quote stays inside the string"},
    {"{\"a\\\\\"}", true, "an escaped backslash does not hide the closing quote"},
    {"{a\\}", false, "an escaped brace does not close the list"},
    {"{a\\", false, "a backslash at the end hides nothing, the list is still open"},
    {"}", true, "a stray closing brace does not make the reader wait"},
};

TEST(ListNotation, ValueCompleteWhenBracesBalanceOutsideQuotes) {
    for (const auto& c : kCompleteCases)
        EXPECT_EQ(ValueComplete(c.text), c.complete) << "\"" << c.text << "\": " << c.why;
}

TEST(ListNotation, AValueOverSeveralRepliesIsCompleteWithItsLastPart) {
    // The reply texts as they arrive, appended one after the other.
    const std::vector<std::string> parts = {"{vxr/RT:1.00,", "{\"a,}b\",", "2},vxr/PO:5}"};
    std::string value;
    std::vector<bool> complete;
    for (const auto& p : parts) {
        value += p;
        complete.push_back(ValueComplete(value));
    }
    EXPECT_EQ(complete, (std::vector<bool>{false, false, true})) << value;
}

struct TSplitCase {
    const char* list;
    std::vector<std::string> items;
    const char* why;
};

const TSplitCase kSplitCases[] = {
    {"", {""}, "an empty text is one empty item"},
    {"a", {"a"}, "one item"},
    {"a,b,c", {"a", "b", "c"}, "commas separate"},
    {"a,,b", {"a", "", "b"}, "an empty item between commas"},
    {"a,", {"a", ""}, "an empty last item"},
    {"vxr/RT:1.00,vxr/PO:0.50", {"vxr/RT:1.00", "vxr/PO:0.50"}, "message items: name and period"},
    {"{1,2},3", {"{1,2}", "3"}, "an inner list is one item, braces kept"},
    {"a:{1,{2,3}},b:4", {"a:{1,{2,3}}", "b:4"}, "nested lists stay whole"},
    {"\"x,y\",z", {"\"x,y\"", "z"}, "a comma in quotes does not split, quotes kept"},
    {"\"my log.vxr\",2048,1700000000",
     {"\"my log.vxr\"", "2048", "1700000000"},
     "a file entry: the quoted name keeps its blank"},
    {"\"a\\\"b,c\",d", {"\"a\\\"b,c\"", "d"}, "an escaped quote does not end the string"},
    {"a\\,b,c", {"a\\,b", "c"}, "an escaped comma does not split, the backslash is kept"},
    {"a\\", {"a\\"}, "a backslash at the end is kept"},
    {"a},b", {"a}", "b"}, "after a stray closing brace commas split again"},
};

TEST(ListNotation, SplitItemsAtCommasOutsideQuotesAndBraces) {
    for (const auto& c : kSplitCases)
        EXPECT_EQ(SplitItems(c.list), c.items) << "\"" << c.list << "\": " << c.why;
}

// What the scanner reports: position and character of each one it visits, "0{ 2= ".
std::string marks(std::string_view text, bool* closed = nullptr, char stopAt = 0) {
    std::string out;
    const bool c = scanListSyntax(text, [&](std::size_t at, char ch) {
        out += std::to_string(at) + ch + ' ';
        return ch != stopAt;
    });
    if (closed)
        *closed = c;
    return out;
}

TEST(ListNotation, ScannerSeesOnlyWhatQuotesAndBackslashesLeave) {
    bool closed = false;
    EXPECT_EQ(marks("{a=1,b}", &closed), "0{ 2= 4, 6} ");
    EXPECT_TRUE(closed);
    EXPECT_EQ(marks(R"("{,=}",x)", &closed), "6, ");
    EXPECT_EQ(marks(R"(\{a\,b)"), "");         // hidden outside quotes
    EXPECT_EQ(marks(R"("a\"{",})"), "6, 7} "); // an escaped quote does not close
    EXPECT_EQ(marks(R"(a,"open{,)", &closed), "1, ");
    EXPECT_FALSE(closed);
    EXPECT_EQ(marks("a\\"), "");                      // a trailing backslash hides nothing
    EXPECT_EQ(marks("k=v,{x}", nullptr, '='), "1= "); // the visitor stops the scan
}

} // namespace
} // namespace telvor
