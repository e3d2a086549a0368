// The Positioning page's own rules: RTK modes, P-code, the datum list by option, satellite
// lists written only when read and changed, the WAAS channels.
#include "config/Positioningconfig.h"
#include "config/Fakereceiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace telvor;
using telvor::testing::TFakeParams;
using telvor::testing::TQuietHost;

namespace {

std::string yn(int count, int no = 0) {
    std::string out = "{";
    for (int i = 1; i <= count; ++i)
        out += std::string(i > 1 ? "," : "") + (i == no ? "n" : "y");
    return out + "}";
}

class PositioningconfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/pos/mode/cur", "cd"},     {"/par/pos/pd/reset", "off"},
                     {"/par/pos/mode/sp", "on"},      {"/par/pos/mode/cd", "off"},
                     {"/par/pos/elm", "10"},          {"/par/pos/pdop", "30"},
                     {"/par/pos/sys", "{on,off}"},    {"/par/pos/raim/al/mode", "ter"},
                     {"/par/pos/sp/meas", "p2"},      {"/par/lock/pcode", "on"},
                     {"/par/opts/cur/_DTM", "1"},     {"/par/pos/datum/cur", "EUR-M"},
                     {"/par/pos/gps/sat", yn(32, 5)}, {"/par/lock/glo/fcn", yn(24)},
                     {"/par/waas/1/sat", "12005"},    {"/par/waas/1/instead0", "2"},
                     {"/par/waas/1/ion", "1"},        {"/par/waas/2/sat", "0"}};
    }
    bool wrote(const std::string& prefix) const {
        return std::any_of(rx.sets.begin(), rx.sets.end(),
                           [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }
    TPositioningPage page;
    TFakeParams rx;
    TQuietHost host;
};

TEST_F(PositioningconfigTest, RefreshShowsModesMeasurementsAndDatum) {
    page.refresh(rx, host);
    EXPECT_TRUE(page.PosDGPSRadioButton.checked());
    EXPECT_TRUE(page.PosRTKFixedRadioButton.enabled());
    // Solutions the receiver does not name show ticked.
    EXPECT_TRUE(page.PosPhaseFloatCheckBox.checked());
    EXPECT_FALSE(page.PosPhaseFloatCheckBox.enabled());
    EXPECT_FALSE(page.PosCodeDiffCheckBox.checked());
    EXPECT_TRUE(page.GPSSysCheckBox.checked());
    EXPECT_FALSE(page.GLONASSSysCheckBox.checked());
    EXPECT_EQ(page.RAIMAlarmComboBox.text(), "Terminal");
    EXPECT_TRUE(page.P2UsedRadioButton.checked());
    EXPECT_EQ(page.CurDatumComboBox.items().size(), 222u);
    EXPECT_EQ(page.CurDatumComboBox.text(), "EUR-M");
    EXPECT_TRUE(page.PosCurDatumButton.enabled());
    EXPECT_FALSE(page.ApplyButton.enabled());
}

TEST_F(PositioningconfigTest, ReceiverLimitsDisableWhatItCannotDo) {
    rx.values.erase("/par/pos/pd/reset");
    rx.values["/par/lock/pcode"] = "off";
    rx.values["/par/opts/cur/_DTM"] = "0";
    page.refresh(rx, host);
    EXPECT_FALSE(page.PosRTKFloatRadioButton.enabled());
    EXPECT_FALSE(page.PosRTKFixedRadioButton.enabled());
    EXPECT_FALSE(page.IonoUsedRadioButton.enabled());
    EXPECT_EQ(page.CurDatumComboBox.items(), (std::vector<std::string>{"W84", "P90"}));

    // The measurements are not written even though a choice is shown.
    page.ELMaskEdit.setText("12");
    page.apply(rx, host);
    EXPECT_FALSE(wrote("/par/pos/sp/meas="));
    EXPECT_TRUE(wrote("/par/pos/elm=12"));

    rx.values.erase("/par/opts/cur/_DTM");
    page.refresh(rx, host);
    EXPECT_TRUE(page.CurDatumComboBox.items().empty());
    EXPECT_FALSE(page.CurDatumComboBox.enabled());
    EXPECT_FALSE(page.PosCurDatumButton.enabled());
}

TEST_F(PositioningconfigTest, SatelliteListsAreWrittenOnlyWhenReadAndChanged) {
    page.refresh(rx, host);
    EXPECT_FALSE(page.lists[kUseGps].boxes[4]->checked());
    EXPECT_TRUE(page.lists[kUseGps].boxes[5]->checked());
    // No reply: the list, its master box and its buttons are off.
    EXPECT_FALSE(page.lists[kLockGps].read);
    EXPECT_FALSE(page.GPSLockCheckBox.enabled());
    EXPECT_FALSE(page.GPSAllLockButton.enabled());
    page.setWholeList(kLockGps, true);
    EXPECT_FALSE(page.ApplyButton.enabled());

    page.lists[kUseGps].boxes[4]->setChecked(true);
    EXPECT_TRUE(page.ApplyButton.enabled());
    ASSERT_TRUE(page.apply(rx, host).ok);
    EXPECT_TRUE(wrote("/par/pos/gps/sat/=" + yn(32)));
    EXPECT_FALSE(wrote("/par/lock/gps/sat"));
    EXPECT_FALSE(wrote("/par/lock/glo/fcn")); // read, but unchanged
}

TEST_F(PositioningconfigTest, WaasChannelSplitsAndJoinsItsNumber) {
    page.refresh(rx, host);
    TWaasChannel& ch1 = page.waas[0];
    EXPECT_TRUE(ch1.Enable.checked());
    EXPECT_EQ(ch1.Waas.value(), 120);
    EXPECT_EQ(ch1.Gps.value(), 5);
    EXPECT_EQ(ch1.Mess.value(), 2);
    TWaasChannel& ch2 = page.waas[1];
    EXPECT_FALSE(ch2.Enable.checked());
    EXPECT_TRUE(ch2.Enable.enabled());
    EXPECT_FALSE(ch2.Waas.enabled());

    ch1.Enable.setChecked(false);
    ASSERT_TRUE(page.apply(rx, host).ok);
    EXPECT_TRUE(wrote("/par/waas/1/sat=0"));

    ch1.Enable.setChecked(true);
    ch1.Waas.setValue(129);
    ch1.Gps.setValue(33);
    rx.refused.insert("/par/waas/1/sat");
    const TApplyResult r = page.apply(rx, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(host.status, "Can't set WAAS Channel 1 satellites");
    EXPECT_EQ(host.shown, "Positioning");
    EXPECT_TRUE(page.ApplyButton.enabled());
    EXPECT_EQ(TPositioningPage::waasValue(ch1), "12933");
}

TEST_F(PositioningconfigTest, InvalidMaskStopsApplyBeforeSending) {
    page.refresh(rx, host);
    page.PDOPPosMaskEdit.setText("3O");
    const TApplyResult r = page.apply(rx, host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(host.status, "Invalid Positioning PDOP mask");
    EXPECT_EQ(r.control, &page.PDOPPosMaskEdit);
    EXPECT_FALSE(wrote("/par/pos/pdop"));
}

TEST_F(PositioningconfigTest, ScriptCarriesEveryReadListWithoutSlash) {
    page.refresh(rx, host);
    std::ostringstream text;
    TScriptSink sink(text);
    ASSERT_TRUE(page.script(sink));
    const std::string s = text.str();
    EXPECT_NE(s.find("%/par/pos/gps/sat%set,/par/pos/gps/sat," + yn(32, 5) + "\n"),
              std::string::npos);
    EXPECT_NE(s.find("%/par/lock/glo/fcn%set,/par/lock/glo/fcn," + yn(24) + "\n"),
              std::string::npos);
    EXPECT_EQ(s.find("/par/lock/gps/sat"), std::string::npos);
    EXPECT_NE(s.find("%/par/waas/1/sat%set,/par/waas/1/sat,12005\n"), std::string::npos);
    EXPECT_NE(s.find("%/par/pos/datum/cur%set,/par/pos/datum/cur,EUR-M\n"), std::string::npos);
    // Lists come after the corrections and before the WAAS channels.
    EXPECT_LT(s.find("/par/pos/datum/cur"), s.find("/par/pos/gps/sat"));
    EXPECT_LT(s.find("/par/lock/glo/fcn"), s.find("/par/waas/1/sat"));
}

} // namespace
