// The receiver's list notation and the text checks the pages apply before writing.
#include "config/Listnotation.h"

#include <gtest/gtest.h>

using namespace telvor;

TEST(ListElement, NestedListsAreOneElement) {
    EXPECT_EQ(ListElement("{1,{2,3},4}", 1, 1), "1");
    EXPECT_EQ(ListElement("{1,{2,3},4}", 1, 2), "{2,3}");
    EXPECT_EQ(ListElement("{1,{2,3},4}", 1, 3), "4");
    EXPECT_EQ(ListElement("{1,{2,3},4}", 1, 4), "");
    EXPECT_EQ(ListElement("{1,{2,3},4}", 1, 0), "1,{2,3},4");
    EXPECT_EQ(ListElement("{1,{2,3},4}", 2, 2), "3");
}

TEST(ListElement, QuotedStringsAreUnits) {
    EXPECT_EQ(ListElement(R"({"a,}b",c})", 1, 1), R"("a,}b")");
    EXPECT_EQ(ListElement(R"({"a\",b",c})", 1, 2), "c");
    EXPECT_EQ(ListElement(R"({"open,c})", 1, 1), "");
    EXPECT_EQ(ListElement("{on,,off}", 1, 2), "");
    EXPECT_EQ(ListElement("{on,,off}", 1, 3), "off");
}

TEST(ListElement, MalformedTextStaysInside) {
    EXPECT_EQ(ListElement("}}{a,b", 1, 2), "b");
    EXPECT_EQ(ListElement("", 1, 1), "");
    EXPECT_EQ(ListElement("{a}", 1, -1), "");
}

TEST(ListElements, OnePassGivesWhatEachIndexGives) {
    for (const char* text : {"{1,{2,3},4}", R"({"a,}b", c\,d ,})", "}}{a,b", "{ x , {y}} ,z",
                             R"({"open,c})", "{}", "a\\"}) {
        for (int depth = 0; depth <= 2; ++depth) {
            const auto all = ListElements(text, depth);
            for (std::size_t k = 0; k < all.size(); ++k)
                EXPECT_EQ(all[k], ListElement(text, depth, static_cast<int>(k + 1)))
                    << text << " depth " << depth;
            EXPECT_EQ(ListElement(text, depth, static_cast<int>(all.size() + 1)), "");
        }
    }
}

TEST(ListCount, CountsOnlyBalancedText) {
    EXPECT_EQ(ListCount("{1,{2,3},4}", 1), 3);
    EXPECT_EQ(ListCount("{1,{2,3},4}", 2), 2);
    EXPECT_EQ(ListCount("{}", 1), 0);
    EXPECT_EQ(ListCount("{,}", 1), 2);
    EXPECT_EQ(ListCount("{1,{2,3}", 1), 0);
    EXPECT_EQ(ListCount("{1}}", 1), 0);
    EXPECT_EQ(ListCount(R"({"1})", 1), 0);
}

TEST(ListCount, AgreesWithListElementOverSiblingLists) {
    const std::string text = "{{},{a,b},{ }}";
    EXPECT_EQ(ListCount(text, 2), 2);
    EXPECT_EQ(ListElement(text, 2, 1), "a");
    EXPECT_EQ(ListElement(text, 2, 2), "b");
    EXPECT_EQ(ListElement(text, 2, 3), "");
}

TEST(ElementValue, FieldOfAStructuredReply) {
    EXPECT_EQ(ElementValue(" rate = 9600 "), "9600");
    EXPECT_EQ(ElementValue("ser{a,b}"), "{a,b}");
    EXPECT_EQ(ElementValue(R"("x=y"=z)"), "z");
    EXPECT_EQ(ElementValue("plain"), "plain");
    EXPECT_EQ(ElementValue(ListElement("{a=1,b={2,3}}", 1, 2)), "{2,3}");
}

TEST(Quote, OnlyWhenTheReceiverWouldParseIt) {
    EXPECT_EQ(Quote("a,b"), "\"a,b\"");
    EXPECT_EQ(Quote("ab"), "ab");
    EXPECT_EQ(Quote(""), "\"\"");
    EXPECT_EQ(Quote("  ab  "), "ab");
    EXPECT_EQ(Quote(R"(say "hi"\)"), R"("say \"hi\"\\")");
    for (const char* special : {";", "{", "}", ":", "@", "%", "#", "&", "|", "\r", "\n"})
        EXPECT_EQ(Quote(std::string("x") + special + "y").front(), '"') << special;
}

TEST(Quote, UnquoteGivesTheTextBack) {
    for (const std::string text : {"a,b", "ab", R"(q"u\o{t}e)", "x@y%z", ""})
        EXPECT_EQ(Unquote(Quote(text)), text) << text;
    EXPECT_EQ(Unquote(" \"a\\\\b\" "), "a\\b");
    EXPECT_EQ(Unquote("\"abc"), "\"abc");
    EXPECT_EQ(Unquote("\""), "\"");
}

TEST(TextChecks, NumbersAndAddresses) {
    for (const char* ok : {"0", "-1.5", "+2.", ".5", "1e3", "1.5E-2"})
        EXPECT_TRUE(IsNumber(ok)) << ok;
    for (const char* bad : {"", "-", ".", "1e", "1.5x", " 1", "nan", "inf", "0x10"})
        EXPECT_FALSE(IsNumber(bad)) << bad;
    EXPECT_TRUE(IsInteger("-42"));
    EXPECT_FALSE(IsInteger("4.2"));
    EXPECT_TRUE(IsUnsigned("42"));
    EXPECT_FALSE(IsUnsigned("-42"));
    EXPECT_FALSE(IsUnsigned("+"));
    EXPECT_TRUE(IsIPv4Address("192.168.0.1"));
    EXPECT_TRUE(IsIPv4Address("0.0.0.0"));
    for (const char* bad : {"256.1.1.1", "1.1.1", "1.1.1.1.1", "1..1.1", "1.1.1.1234", "a.b.c.d",
                            "1.1.1.-1", "01.1.1.1x"})
        EXPECT_FALSE(IsIPv4Address(bad)) << bad;
}
