// The binding rules against the simulated receiver: values read through the real command
// engine, long lists collected over several replies, refused writes.
#include "support/Simsession.h"

#include "app/Session.h"
#include "config/Generalconfig.h"
#include "config/Listnotation.h"
#include "config/Page.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"

#include <gtest/gtest.h>

using namespace telvor;

namespace {

class TNoHost : public TConfigHost {
public:
    bool waitShown() const override { return false; }
    void showWait(const std::string&) override {}
    void closeWait() override {}
    void setStatus(const std::string& text) override { status = text; }
    void showPage(const std::string&) override {}
    std::string status;
};

class BindingSimTest : public telvor::testing::TSimSessionFixture {
protected:
    BindingSimTest() : TSimSessionFixture("telvor-binding") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        telvorsim::TSimOptions options;
        options.epochWallMs = 600000;
        options.omit = {"/par/pwr/ext"};
        ASSERT_NO_FATAL_FAILURE(connectPaused(options));
    }

    TReceiverParams rx;
};

TEST_F(BindingSimTest, ReadsValuesAndNoticesMissingOnes) {
    EXPECT_EQ(rx.print("/par/rcv/model"), "VORNA");
    EXPECT_EQ(rx.print("/par/pwr/ext"), std::nullopt);
    // A whole subtree is longer than one reply: it is collected until its braces balance.
    const auto tree = rx.collect("/par");
    ASSERT_TRUE(tree);
    EXPECT_TRUE(ValueComplete(*tree));
    EXPECT_GT(tree->size(), 1024u); // one reply holds at most 1024
    EXPECT_GT(ListCount(*tree, 1), 5);
    // The dialogue is in step afterwards.
    EXPECT_EQ(rx.print("/par/pos/elm"), "5");
}

TEST_F(BindingSimTest, RefusedWriteFailsAndKeepsTheValue) {
    EXPECT_TRUE(rx.set("/par/pos/elm", "10"));
    EXPECT_EQ(rx.print("/par/pos/elm"), "10");
    EXPECT_FALSE(rx.set("/par/pos/elm", "100"));
    EXPECT_FALSE(rx.lastError().empty());
    EXPECT_FALSE(rx.set("/par/pwr/board", "1"));
    EXPECT_EQ(rx.print("/par/pos/elm"), "10");
}

TEST_F(BindingSimTest, GeneralPageAgainstTheReceiver) {
    TGeneralPage page;
    TNoHost host;
    page.refresh(rx, host);
    EXPECT_EQ(page.ELMTermEdit.text(), "5");
    EXPECT_TRUE(page.AntAutoRadioButton.checked());
    EXPECT_EQ(page.PowerModeComboBox.text(), "Auto");
    EXPECT_EQ(page.ChargerSpeedComboBox.text(), "Normal");
    EXPECT_EQ(page.portsPath(), "/par/pwr/ports");
    EXPECT_EQ(page.TemperatureEdit.text(), "38.5");
    EXPECT_FALSE(page.ExtPwrEdit.enabled()); // left out of this receiver
    EXPECT_FALSE(page.ApplyButton.enabled());

    page.LPMCheckBox.setChecked(true);
    SelectComboText(page.ChargerModeComboBox, "Charge B");
    SelectComboText(page.SlotComboBoxes[2], "Always");
    page.ELMTermEdit.setText("12");
    EXPECT_TRUE(page.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.print("/par/lpm"), "on");
    EXPECT_EQ(rx.print("/par/pwr/charge/bat"), "b");
    EXPECT_EQ(rx.print("/par/pwr/switch/4"), "always");
    EXPECT_EQ(rx.print("/par/out/elm/cur/term"), "12");
}

} // namespace
