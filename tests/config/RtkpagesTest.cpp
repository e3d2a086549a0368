// The Base and Rover pages' own rules: the reference position text both ways, when it is
// written, the static/dynamic choice, the correction source in failure texts, the engine reset.
#include "config/Baseconfig.h"
#include "config/Fakereceiver.h"
#include "config/Receiverconfig.h"
#include "config/Roverconfig.h"

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeReceiver;
using telvor::testing::TQuietHost;

namespace {

class BasePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/opts/cur/_DTM", "1"},
                     {"/par/ref/avg/mode", "off"},
                     {"/par/ref/pos/gps/geo", "{SK42,S33d52m04.1234s,W151d12m30.5s,-12.25}"},
                     {"/par/ref/pos/glo/geo", "{P90,N10d00m00s,E020d00m00s,0}"}};
    }
    TBasePage page;
    TFakeReceiver rx;
    TQuietHost host;
};

TEST_F(BasePageTest, SouthernAndWesternPositionIsShownAndWrittenBack) {
    rx.values["/par/ref/pos/gps/geo"] = "{W84,S33d52m04.1234s,W151d12m30.5s,-12.25}";
    page.refresh(rx, host);
    EXPECT_EQ(page.Gps.LatHemisphere.itemIndex(), 1);
    EXPECT_EQ(page.Gps.LonHemisphere.itemIndex(), 1);
    EXPECT_EQ(page.Gps.LatD.text(), "33");
    EXPECT_EQ(page.Gps.LatS.text(), "04.1234");
    EXPECT_EQ(page.Gps.Alt.text(), "-12.25");
    EXPECT_EQ(page.Gps.Datum.text(), "W84");
    EXPECT_GT(page.Gps.Datum.items().size(), 200u); // the datum option allows the full list
    EXPECT_FALSE(page.ApplyButton.enabled());

    page.Gps.LatM.setText("53");
    page.setAtOneTime(false);
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.values["/par/ref/pos/gps/geo"], "{W84,S33d53m04.1234s,W151d12m30.5s,-12.25}");
    EXPECT_EQ(rx.values["/par/ref/pos/glo/geo"], "{P90,N10d00m00s,E020d00m00s,0}");
}

TEST_F(BasePageTest, AtOneTimeTheGpsSheetHoldsBothPositions) {
    rx.values["/par/opts/cur/_DTM"] = "0";
    page.refresh(rx, host);
    EXPECT_EQ(page.Gps.Datum.items().size(), 2u);
    EXPECT_EQ(page.Gps.Datum.itemIndex(), -1); // a datum this receiver does not offer
    SelectComboText(page.Gps.Datum, "W84");
    ASSERT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.values["/par/ref/pos/glo/geo"], rx.values["/par/ref/pos/gps/geo"]);
    EXPECT_EQ(rx.values["/par/ref/pos/gps/geo"], "{W84,S33d52m04.1234s,W151d12m30.5s,-12.25}");
}

TEST_F(BasePageTest, PositionIsLeftAloneWhileAveragingOrWhenUnread) {
    rx.values["/par/ref/pos/glo/geo"] = "{W84,X10d,E0d0m0s,0}";
    page.refresh(rx, host);
    EXPECT_FALSE(page.Gln.LatD.enabled());
    page.AvrgModeCheckBox.setChecked(true);
    ASSERT_TRUE(page.apply(rx, host).ok);
    for (const std::string& line : rx.lines)
        EXPECT_EQ(line.find("/par/ref/pos/"), std::string::npos) << line;

    page.AvrgModeCheckBox.setChecked(false);
    page.setAtOneTime(false);
    rx.refused.insert("/par/ref/pos/gps/geo");
    const auto result = page.apply(rx, host);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(host.status, "Can't set Base reference position");
    EXPECT_EQ(host.shown, "Base");
    EXPECT_TRUE(page.GPSGLNAtOneTimeRadioButton.focused());
    EXPECT_TRUE(page.ApplyButton.enabled());
}

TEST(AngleTextTest, RefusesWhatIsNoAngle) {
    EXPECT_TRUE(ParseAngleText("N55d45m12.3456s"));
    for (const char* bad :
         {"", "N", "55d45m12s", "Nd45m12s", "N55d45m12", "N55d45m12sx", "Nxdym1s"})
        EXPECT_FALSE(ParseAngleText(bad)) << bad;
}

class RoverPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/pos/mode/cur", "pd"},
                     {"/par/pos/pd/dyn", "0.0"},
                     {"/par/pos/cd/port", "/dev/ser/b"},
                     {"/par/pos/pd/port", "any"},
                     {"/par/pos/pd/reset", "off"}};
    }
    TRoverPage page;
    TFakeReceiver rx;
    TQuietHost host;
};

TEST_F(RoverPageTest, ReadsModeDynamicsAndSources) {
    page.refresh(rx, host);
    EXPECT_TRUE(page.RoverRTKRadioButton.checked());
    EXPECT_TRUE(page.RTKStaticRadioButton.checked());
    EXPECT_EQ(page.DiffCorSourceComboBox.text(), "Serial B");
    EXPECT_TRUE(page.RTKResetButton.enabled());

    page.RTKDynamicRadioButton.setChecked(true);
    page.RTKStaticRadioButton.setChecked(false);
    SelectComboText(page.PDDiffCorSourceComboBox, "Modem");
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.values["/par/pos/pd/dyn"], "1.0");
    EXPECT_EQ(rx.values["/par/pos/pd/port"], "/dev/modem/a");
}

TEST_F(RoverPageTest, FailuresNameWhatWasRefused) {
    page.refresh(rx, host);
    page.RoverDGPSRadioButton.setChecked(true);
    rx.refused.insert("/par/pos/pd/dyn");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Can't set static RTK");
    rx.refused = {"/par/pos/cd/port"};
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Can't set  DGPS port Serial B");
    EXPECT_TRUE(page.DiffCorSourceComboBox.focused());
}

TEST_F(RoverPageTest, EngineResetAndReceiversWithoutIt) {
    page.refresh(rx, host);
    EXPECT_TRUE(page.resetEngine(rx, host).ok);
    EXPECT_EQ(rx.lines.back(), "set,/par/pos/pd/reset,on");
    rx.refused.insert("/par/pos/pd/reset");
    EXPECT_FALSE(page.resetEngine(rx, host).ok);
    EXPECT_EQ(host.status, "Can't reset RTK engine");
    rx.values.erase("/par/pos/pd/reset");
    page.refresh(rx, host);
    EXPECT_FALSE(page.RTKResetButton.enabled());
}

// The receiver's values reach each page by its own read: a Refresh is no change of the other.
TEST(ModeMirrorTest, RefreshOfOnePageLeavesTheOtherUnchanged) {
    TFakeReceiver rx;
    rx.values = {{"/par/pos/mode/cur", "sp"}, {"/par/pos/mode/sp", "on"}};
    TQuietHost host;
    TReceiverConfig config(host);
    config.refreshAll(rx);
    config.Rover.RoverStandaloneCheckBox.setChecked(false);
    EXPECT_FALSE(config.Positioning.PosStandAloneCheckBox.checked());
    EXPECT_TRUE(config.Positioning.ApplyButton.enabled());
    ASSERT_TRUE(config.ok(rx));
    ASSERT_FALSE(config.pendingChanges());

    rx.values["/par/pos/mode/cur"] = "cd";
    config.Positioning.refresh(rx, host);
    EXPECT_TRUE(config.Positioning.PosDGPSRadioButton.checked());
    EXPECT_FALSE(config.Rover.ApplyButton.enabled());
    EXPECT_TRUE(config.Rover.RoverStandAloneRadioButton.checked());
}

} // namespace
