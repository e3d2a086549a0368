// Numbers from text as replies, settings, typed fields and options give them.
#include "protocol/Numbers.h"

#include <climits>
#include <gtest/gtest.h>

using namespace telvor;

TEST(Numbers, IntegerIsTheWholeTextWithOneOptionalSign) {
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("-15"), -15);
    EXPECT_EQ(parseInteger(" \t9600 "), 9600); // blanks around it, as fields are typed
    for (const char* bad : {"", " ", "+", "-", "+-1", "--1", "12x", "1 2", "0x10", "1.0", "1e3",
                            "\n5", "9223372036854775808"})
        EXPECT_FALSE(parseInteger(bad)) << bad;
    EXPECT_EQ(parseInteger("-9223372036854775808"), LLONG_MIN);
}

TEST(Numbers, IntegerRangeIsInclusive) {
    EXPECT_EQ(parseInteger("1", 1, 65535), 1);
    EXPECT_EQ(parseInteger("65535", 1, 65535), 65535);
    EXPECT_FALSE(parseInteger("0", 1, 65535));
    EXPECT_FALSE(parseInteger("65536", 1, 65535));
    EXPECT_FALSE(parseInteger("port", 1, 65535));
    // An overflow is refused, not clamped into the range.
    EXPECT_FALSE(parseInteger("99999999999999999999", 0, LLONG_MAX));
}

TEST(Numbers, NumberIsFiniteAndDecimal) {
    EXPECT_EQ(parseNumber(" 12.5 "), 12.5);
    EXPECT_EQ(parseNumber("+.5"), 0.5);
    EXPECT_EQ(parseNumber("7."), 7.0);
    EXPECT_EQ(parseNumber("-1e3"), -1000.0);
    for (const char* bad : {"", "inf", "nan", "1e400", "12x", "0x1p3", "+-1", "1,5"})
        EXPECT_FALSE(parseNumber(bad)) << bad;
}

TEST(Numbers, LeadingIntegerReadsAsTheProfileApiDoes) {
    EXPECT_EQ(leadingInteger("12 34"), 12);
    EXPECT_EQ(leadingInteger("10.5"), 10);
    EXPECT_EQ(leadingInteger("+4"), 4);
    EXPECT_EQ(leadingInteger("-2147483648"), INT_MIN);
    EXPECT_FALSE(leadingInteger("2147483648"));
    EXPECT_FALSE(leadingInteger(" 5")); // a blank is no digit
    EXPECT_FALSE(leadingInteger("-"));
    EXPECT_FALSE(leadingInteger("<unknown>"));
}
