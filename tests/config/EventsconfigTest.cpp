// The Events page: a group the receiver lacks stays off, an unticked group writes only its
// switch, the synchronisation status is never the user's, "Repeat Synchronization".
#include "config/Eventsconfig.h"
#include "config/Attitudeconfig.h"
#include "config/Fakereceiver.h"

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeParams;
using telvor::testing::TQuietHost;

namespace {

class EventsconfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* p : {"/par/dev/pps/a/", "/par/dev/event/a/"})
            for (auto [k, v] : {std::pair{"per/ms", "1000"},
                                {"offs/ms", "0"},
                                {"offs/ns", "50"},
                                {"edge", "fall"},
                                {"time", "utcsu"},
                                {"mper", "0"},
                                {"tied", "on"},
                                {"lock", "on"},
                                {"locked", "yes"}})
                rx.values[std::string(p) + k] = v;
        rx.values["/par/dev/pps/a/out"] = "on";
        rx.values["/par/dev/event/a/in"] = "on";
        rx.values["/par/dev/event/b/in"] = "off";
    }
    TEventsPage page;
    TFakeParams rx;
    TQuietHost host;
};

TEST_F(EventsconfigTest, MissingGroupStaysDisabledAndIsNotAsked) {
    page.refresh(rx, host);
    TPpsGroup& a = page.pps[0];
    EXPECT_TRUE(a.PeriodEdit.enabled());
    EXPECT_EQ(a.EdgeGroup.itemIndex(), 1);
    EXPECT_EQ(a.TimeGroup.itemIndex(), 3);
    TPpsGroup& b = page.pps[1];
    EXPECT_FALSE(b.CheckBox.enabled());
    EXPECT_FALSE(b.PeriodEdit.enabled());
    EXPECT_FALSE(b.PeriodLabel.enabled());
    for (const std::string& asked : rx.asked)
        EXPECT_NE(asked, "/par/dev/pps/b/per/ms");
    // The status is shown, never editable; "Repeat" follows the clock box.
    EXPECT_EQ(page.events[0].ClkStatEdit.text(), "yes");
    EXPECT_FALSE(page.events[0].ClkStatEdit.enabled());
    EXPECT_TRUE(page.events[0].RepeatButton.enabled());

    page.events[0].CheckBox.setChecked(true); // no change
    page.pps[0].MarkedEdit.setText("5");
    ASSERT_TRUE(page.apply(rx, host).ok);
    for (const std::string& set : rx.sets) {
        EXPECT_EQ(set.find("/par/dev/pps/b"), std::string::npos) << set;
        EXPECT_EQ(set.find("locked"), std::string::npos) << set;
    }
}

TEST_F(EventsconfigTest, UntickedGroupWritesOnlyItsSwitch) {
    page.refresh(rx, host);
    page.pps[0].CheckBox.setChecked(false);
    EXPECT_FALSE(page.pps[0].PeriodEdit.enabled());
    EXPECT_TRUE(page.ApplyButton.enabled());
    ASSERT_TRUE(page.apply(rx, host).ok);
    std::vector<std::string> pps;
    for (const std::string& set : rx.sets)
        if (set.rfind("/par/dev/pps/a/", 0) == 0)
            pps.push_back(set);
    EXPECT_EQ(pps, std::vector<std::string>{"/par/dev/pps/a/out=off"});
    // Ticking it again brings back only what the receiver has.
    page.pps[0].CheckBox.setChecked(true);
    EXPECT_TRUE(page.pps[0].PeriodEdit.enabled());
    EXPECT_FALSE(page.events[1].EdgeGroup.enabled());
}

TEST_F(EventsconfigTest, RepeatSynchronizationReadsTheStatusOrNamesTheFailure) {
    page.refresh(rx, host);
    rx.values["/par/dev/event/a/locked"] = "again";
    EXPECT_TRUE(page.repeatSync(0, rx, rx, host).ok);
    EXPECT_EQ(page.events[0].ClkStatEdit.text(), "again");
    EXPECT_FALSE(page.events[0].ClkStatEdit.enabled());

    rx.refused.insert("/par/dev/event/b/lock");
    const TApplyResult r = page.repeatSync(1, rx, rx, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(host.status, "Can't set clock synchronization with Event B");
    EXPECT_TRUE(page.events[1].ClkSyncCheckBox.focused());
    EXPECT_TRUE(page.events[1].RepeatButton.enabled());
}

TEST(AttitudeconfigTest, ReadsHeadingAndNeverWrites) {
    TFakeParams rx;
    TQuietHost host;
    rx.values = {{"/par/hd/mode", "y"}, {"/par/hd/len/0", "1.25"}};
    TAttitudePage page;
    page.refresh(rx, host);
    EXPECT_TRUE(page.HeadingModeCheckBox.checked());
    EXPECT_FALSE(page.FixedBaseLineCheckBox.enabled());
    EXPECT_EQ(page.FixedBaselineEdit.text(), "1.25");
    page.FixedBaselineEdit.setText("2");
    EXPECT_FALSE(page.changed());
    std::ostringstream text;
    TScriptSink sink(text);
    EXPECT_TRUE(page.script(sink));
    EXPECT_EQ(text.str(), "");
    EXPECT_EQ(page.scriptSection(), "");
}

} // namespace
