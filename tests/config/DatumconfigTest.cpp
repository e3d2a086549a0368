// The datum window's rules: lists by option, the record's fields, which datums may change and
// the commands that change them.
#include "config/Datumconfig.h"
#include "config/Fakereceiver.h"

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeParams;
using telvor::testing::TQuietHost;

namespace {

class DatumconfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {
            {"/par/opts/cur/_DTM", "0"},
            {"/par/pos/datum/W84", "{{W84,6378137.000,298.257223563},{W84,0,0,0,0,0,0,0,0}}"},
            {"/par/pos/datum/P90",
             "{{P90,6378136.0,298.2578},{P90,0,-1.08,-0.27,-0.9,0,0,-0.16,-0.12}}"},
            {"/par/pos/datum/USER", "{{U-,6378137.0,298.25},{USER,2,1,2,3,4,5,6,7}}"}};
    }
    TDatumPage page;
    TFakeParams rx;
    TQuietHost host;
};

TEST_F(DatumconfigTest, FixedDatumIsReadOnlyAndSendsNothing) {
    page.refresh(rx, host, "W84");
    EXPECT_EQ(page.caption(), "W84 Datum Parameters");
    EXPECT_EQ(page.CurDatumComboBox.items(), (std::vector<std::string>{"W84", "P90"}));
    EXPECT_EQ(page.AxisEdit.text(), "6378137.000");
    EXPECT_EQ(page.RefDatumComboBox.text(), "W84");
    EXPECT_FALSE(page.dXTransEdit.enabled());
    EXPECT_FALSE(page.EllipsoidEdit.enabled());
    page.ApplyButton.setEnabled(true);
    EXPECT_TRUE(page.apply(rx, host).ok);
    EXPECT_TRUE(rx.sets.empty());
}

TEST_F(DatumconfigTest, P90ChangesItsTransformationOnly) {
    page.refresh(rx, host, "W84");
    page.chooseDatum(rx, host, "P90");
    EXPECT_EQ(page.datum(), "P90");
    EXPECT_TRUE(page.ApplyButton.enabled());
    EXPECT_TRUE(page.dXTransEdit.enabled());
    EXPECT_FALSE(page.AxisEdit.enabled());
    EXPECT_EQ(page.ScaleEdit.text(), "-0.12");
    page.dXTransEdit.setText("-1.1");
    ASSERT_TRUE(page.apply(rx, host).ok);
    ASSERT_EQ(rx.sets.size(), 1u);
    EXPECT_EQ(rx.sets[0], "/par/pos/datum/P90/par={P90,0,-1.1,-0.27,-0.9,0,0,-0.16,-0.12}");
    EXPECT_FALSE(page.ApplyButton.enabled());
}

TEST_F(DatumconfigTest, UserDatumWithReferenceP90) {
    page.refresh(rx, host, "USER");
    // Reference 2 is neither datum of the short list.
    EXPECT_EQ(page.RefDatumComboBox.itemIndex(), -1);
    EXPECT_TRUE(page.AxisEdit.enabled());
    page.RefDatumComboBox.setItemIndex(1);
    EXPECT_TRUE(page.ApplyButton.enabled());
    ASSERT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.sets.at(0), "/par/pos/datum/USER={{U-,6378137.0,298.25},{USER,1,1,2,3,4,5,6,7}}");
}

TEST_F(DatumconfigTest, TextThatWouldBreakTheRecordIsRefused) {
    page.refresh(rx, host, "USER");
    page.dYTransEdit.setText("1,5");
    const TApplyResult r = page.apply(rx, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.control, &page.dYTransEdit);
    EXPECT_TRUE(rx.sets.empty());

    page.dYTransEdit.setText("1.5");
    rx.refused.insert("/par/pos/datum/USER");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Can't set USER datum's parameters");
    EXPECT_TRUE(page.CurDatumComboBox.focused());
}

TEST_F(DatumconfigTest, NoOptionReplyDisablesEverything) {
    rx.values.erase("/par/opts/cur/_DTM");
    page.refresh(rx, host, "P90");
    EXPECT_FALSE(page.CurDatumComboBox.enabled());
    EXPECT_FALSE(page.dXTransEdit.enabled());
    EXPECT_TRUE(page.RefreshButton.enabled());
}

} // namespace
