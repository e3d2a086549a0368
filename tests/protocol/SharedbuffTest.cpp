#include "protocol/Sharedbuff.h"

#include <gtest/gtest.h>

#include <string>

namespace telvor {
namespace {

std::string contents(const TSharedBuffer& b) {
    return std::string(reinterpret_cast<const char*>(b.Data()), b.Fill());
}

TEST(SharedBuffer, DropsWhatDoesNotFitAndKeepsAZeroAfterTheData) {
    TSharedBuffer b(8);
    EXPECT_EQ(b.Append("abcde", 5), 5);
    EXPECT_EQ(b.Append("fghij", 5), 8);
    EXPECT_EQ(contents(b), "abcdefgh");
    EXPECT_EQ(b.Data()[8], 0);
    EXPECT_EQ(b.Append("x", 1), 8);
}

TEST(SharedBuffer, DiscardConsumeAndFrontMessage) {
    TSharedBuffer b(16);
    b.Append("RE002ok\r\nER001x", 15);
    b.SetFrontMessage(7);
    EXPECT_EQ(b.FrontMessage(), 7);
    b.Consume(7);
    EXPECT_EQ(contents(b), "\r\nER001x");
    EXPECT_EQ(b.FrontMessage(), 0); // the front changed
    b.Discard(2);
    EXPECT_EQ(contents(b), "ER001x");
    EXPECT_EQ(b.Data()[6], 0);
    b.Discard(6); // at or past the fill: everything goes
    EXPECT_EQ(b.Fill(), 0);
    b.Append("abc", 3);
    b.Consume(10);
    EXPECT_EQ(b.Fill(), 0);
    b.Append("abc", 3);
    b.Discard(-1);
    EXPECT_EQ(b.Fill(), 0);
}

TEST(SharedBuffer, HolderMayRearrangeWithoutTakingTheLockAgain) {
    TSharedBuffer b(16);
    b.Append("abcdef", 6);
    std::uint8_t* data = b.LockAndGet();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(b.LockAndGet(), nullptr); // already held
    b.Consume(2);
    b.SetFill(3);
    b.Release();
    EXPECT_EQ(contents(b), "cde");
    // Released: another lock-and-get works.
    ASSERT_NE(b.LockAndGet(), nullptr);
    b.Release();
}

} // namespace
} // namespace telvor
