// The Advanced sheets and the front-panel page: ranges checked before anything is sent, the
// firmware's common-loop minimum, "susp" shown as Off, the rotation settings that follow the
// files creation mode, and an interval the receiver cannot deliver stopping the Apply.
#include "config/Advancedconfig.h"
#include "config/Fakereceiver.h"
#include "config/Korvelconfig.h"

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeReceiver;
using telvor::testing::TQuietHost;

namespace {

class LoopsTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/raw/pll/band", "25"},    {"/par/raw/pll/order", "3"},
                     {"/par/raw/gdl/band", "1"},     {"/par/raw/cagdl/band", "5"},
                     {"/par/raw/clp/loops", "off"},  {"/par/raw/clp/static", "on"},
                     {"/par/raw/clp/indband", "10"}, {"/par/raw/clp/comband", "20"}};
        page.refresh(rx, host);
    }
    // Applies one edit's text; the status when refused.
    std::string apply(TControl& edit, const std::string& text) {
        edit.setText(text);
        rx.sets.clear();
        host.status.clear();
        page.apply(rx, host);
        return host.status;
    }
    TLoopsSheet page;
    TFakeReceiver rx;
    TQuietHost host;
};

TEST_F(LoopsTest, RangesAreInclusiveAndCheckedBeforeSending) {
    EXPECT_EQ(apply(page.PLLBandwidthEdit, "50"), "");
    EXPECT_EQ(rx.values["/par/raw/pll/band"], "50");
    EXPECT_EQ(apply(page.PLLBandwidthEdit, "50.5"),
              "Value out of range (2 .. 50) for PLL bandwidth");
    EXPECT_TRUE(rx.sets.empty());
    EXPECT_TRUE(page.PLLBandwidthEdit.focused());
    EXPECT_EQ(apply(page.PLLBandwidthEdit, "fast"), "Invalid value for PLL bandwidth");
    page.PLLBandwidthEdit.setText("2");
    EXPECT_EQ(apply(page.PLLOrderEdit, "4"), "Invalid value for PLL order");
    EXPECT_EQ(apply(page.PLLOrderEdit, "2.5"), "Invalid value for PLL order");
    page.PLLOrderEdit.setText("2");
    EXPECT_EQ(apply(page.GDLBandwidthEdit, "0.05"),
              "Value out of range ( 0.1 .. 10.0 ) for GDL bandwidth");
    page.GDLBandwidthEdit.setText("0.1");
    rx.refused.insert("/par/raw/cagdl/band");
    EXPECT_EQ(apply(page.CAGDLBandwidthEdit, "50"), "Can't send value for C/A code GDL bandwidth");
}

TEST_F(LoopsTest, CommonLoopMinimumFollowsTheFirmware) {
    EXPECT_EQ(apply(page.ComBandEdit, "5"),
              "Value out of range (10 .. 50) for common PLL bandwidth");
    page.setFirmwareVersion(3000);
    EXPECT_EQ(apply(page.ComBandEdit, "5"), "");
    EXPECT_EQ(apply(page.ComBandEdit, "1.5"),
              "Value out of range (2 .. 50) for common PLL bandwidth");
}

TEST_F(LoopsTest, StaticModeOnlyWithCommonLoops) {
    EXPECT_FALSE(page.StaticModeCheckBox.enabled());
    page.CLPCheckBox.setChecked(true);
    EXPECT_TRUE(page.StaticModeCheckBox.enabled());
    EXPECT_TRUE(page.ApplyButton.enabled());
    rx.values.erase("/par/raw/clp/static");
    page.refresh(rx, host);
    page.CLPCheckBox.setChecked(true);
    EXPECT_FALSE(page.StaticModeCheckBox.enabled()); // this receiver lacks it
}

TEST(AntiJammingTest, SuspendedIsShownAsOffAndWrittenAsOff) {
    TFakeReceiver rx;
    TQuietHost host;
    rx.values["/par/ajm/mode"] = "susp";
    TAntiJammingSheet page;
    page.refresh(rx, host);
    EXPECT_TRUE(page.AjmOffRadioButton.checked());
    EXPECT_TRUE(page.AjmAutoRadioButton.enabled());
    page.AjmGpsRadioButton.setChecked(true); // changed and back, so Apply writes
    page.AjmGpsRadioButton.setChecked(false);
    ASSERT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.values["/par/ajm/mode"], "off");
}

TEST(RawDataTest, DopplerSmoothingIntervalOrMethod) {
    TFakeReceiver rx;
    TQuietHost host;
    rx.values = {{"/par/raw/dopp/smi", "1"}, {"/par/raw/msint", "100"}};
    TRawDataSheet page;
    page.refresh(rx, host);
    EXPECT_FALSE(page.SMIEdit.enabled());
    page.DopSMIEdit.setText("2.5");
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    page.DopSMMethodCheckBox.setChecked(true);
    page.DopSMIEdit.setText("3");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Value out of range [0,1,2] for doppler smoothing method");
    page.DopSMIEdit.setText("x");
    page.apply(rx, host);
    EXPECT_EQ(host.status, "Invalid value for doppler smoothing method");
    page.DopSMIEdit.setText("2");
    ASSERT_TRUE(page.apply(rx, host).ok);
    EXPECT_EQ(rx.values["/par/raw/dopp/smi"], "2");
    page.AdvRDMMeasUpdRateEdit.setText("5001");
    page.apply(rx, host);
    EXPECT_EQ(host.status, "Value out of range (10 .. 5000) for raw measurements update rate");
}

class KorvelTest : public ::testing::Test {
protected:
    void SetUp() override {
        rx.values = {{"/par/log/sc/period", "1"},        {"/par/out/elm/cur/log", "5"},
                     {"/par/cmd/create/prefix", "log"},  {"/par/button/rot", "off"},
                     {"/par/log/rot/sc/period", "3600"}, {"/par/log/rot/sc/phase", "0"},
                     {"/par/log/rot/count", "24"},       {"/par/raw/curmsint", "200"},
                     {"/par/pos/curmsint", "200"}};
        page.refresh(rx, host);
    }
    TKorvelPage page;
    TFakeReceiver rx;
    TQuietHost host;
};

TEST_F(KorvelTest, RotationSettingsFollowTheFilesCreationMode) {
    EXPECT_FALSE(page.AFRMPeriodEdit.enabled());
    EXPECT_FALSE(page.AFRMRemainEdit.enabled());
    EXPECT_EQ(page.AFRMRemainEdit.text(), "24");
    page.AFRMModeRadioGroup.setItemIndex(1);
    EXPECT_TRUE(page.AFRMPeriodEdit.enabled());
    EXPECT_FALSE(page.AFRMMaxNumEdit.enabled()); // not readable on this receiver
    page.AFRMPhaseEdit.setText("half");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Invalid AFRM phase");
}

TEST_F(KorvelTest, AnIntervalTheReceiverCannotDeliverStopsTheApply) {
    page.KORVELEdit.setText("0.3"); // not a multiple of 200 ms; no wizard here
    page.FileELMEdit.setText("10");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Invalid Recording interval (Tavrex) value");
    EXPECT_TRUE(rx.sets.empty());
    page.KORVELEdit.setText("1.4");
    ASSERT_TRUE(page.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.values["/par/log/sc/period"], "1.40");
    EXPECT_EQ(rx.values["/par/out/elm/cur/log"], "10");
    page.FileELMEdit.setText("ten");
    EXPECT_FALSE(page.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Invalid Elevation mask for Log file ");
}

} // namespace
