// telvor-cli config against telvor-sim on a pty: values a line each, refused writes, usage.
#include "protocol/Commtools.h"
#include "sim/Receiver.h"
#include "support/Clipty.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

namespace {

using telvor::testing::TRun;

class ConfigCliTest : public telvor::testing::TCliPtyTest {
protected:
    ConfigCliTest() : TCliPtyTest("telvor-config-cli") {}
    void SetUp() override {
        telvorsim::TSimOptions options;
        options.baud = 57600;
        startReceiver(options);
    }
    TRun cli(const std::string& args) { return runApart("config " + args); }
};

TEST_F(ConfigCliTest, GetPrintsOneLinePerPath) {
    TRun r = cli("get /par/rcv/model /par/no/such /par/pos/elm");
    EXPECT_EQ(r.out, "VORNA\n\n5\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("/par/no/such"), std::string::npos) << r.err;

    // A value longer than one reply is still one line, whole.
    r = cli("get /par");
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
    EXPECT_GT(r.out.size(), 1024u);
    EXPECT_TRUE(telvor::ValueComplete(r.out));
}

TEST_F(ConfigCliTest, SetIsRefusedWithTheReceiversReply) {
    TRun r = cli("set /par/pos/elm 12");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(cli("get /par/pos/elm").out, "12\n");

    r = cli("set /par/pos/elm 100");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("ER: ", 0), 0u) << r.err;
    EXPECT_EQ(cli("get /par/pos/elm").out, "12\n");
}

TEST_F(ConfigCliTest, UsageErrors) {
    EXPECT_EQ(cli("").code, 2);
    EXPECT_EQ(cli("get").code, 2);
    EXPECT_EQ(cli("set /par/pos/elm").code, 2);
    EXPECT_EQ(cli("set /par/pos/elm 1 2").code, 2);
    EXPECT_EQ(cli("frob /par/pos/elm").code, 2);
}

TEST_F(ConfigCliTest, SaveNeedsOneFileItCanWrite) {
    EXPECT_EQ(cli("save").code, 2);
    EXPECT_EQ(cli("save a.vxc b.vxc").code, 2);
    const TRun r = cli("save /nonexistent-telvor/config.vxc");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Unable to create /nonexistent-telvor/config.vxc"), std::string::npos)
        << r.err;
}

} // namespace
