// Setting a receiver up as an RTK base and as a rover from the presets, against the simulated
// receiver: the enable commands it takes, what its ports then report, and the two pages.
#include "support/Simsession.h"

#include "config/Baseconfig.h"
#include "config/Configscript.h"
#include "config/Fakereceiver.h"
#include "config/Presets.h"
#include "config/Receiverconfig.h"
#include "config/Roverconfig.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace telvor;

namespace {

class RtkSimTest : public telvor::testing::TSimSessionFixture {
protected:
    RtkSimTest() : TSimSessionFixture("telvor-rtk") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        telvorsim::TSimOptions options;
        options.epochWallMs = 600000;
        ASSERT_NO_FATAL_FAILURE(connectPaused(options));
    }
    // What the ports page does for one port: disable, then enable the preset.
    bool enable(const std::string& port, const std::string& preset, const std::string& period) {
        const std::string command = PresetCommand(port, preset, period);
        return rx.command("dm," + port) && rx.command(command.substr(2));
    }

    TReceiverParams rx;
    telvor::testing::TQuietHost host;
};

TEST_F(RtkSimTest, PortOutputsAreRecognisedAsTheirPresets) {
    EXPECT_EQ(DetectPreset(rx, "/dev/ser/c").caption, "None");
    for (const auto& preset : kOutputPresets) {
        if (!preset.list || !*preset.list)
            continue;
        ASSERT_TRUE(enable("/dev/ser/b", preset.caption, "2")) << preset.caption << rx.lastError();
        const auto found = DetectPreset(rx, "/dev/ser/b");
        EXPECT_TRUE(found.ok);
        EXPECT_EQ(found.caption, preset.caption);
        EXPECT_EQ(found.period, "2.00") << preset.caption;
    }
    // One more message beside the preset: the user's own.
    ASSERT_TRUE(rx.command("em,/dev/ser/b,/msg/rtcm/9:1"));
    EXPECT_EQ(DetectPreset(rx, "/dev/ser/b").caption, "User Defined");
    ASSERT_TRUE(rx.command("dm,/dev/ser/b"));
    EXPECT_EQ(DetectPreset(rx, "/dev/ser/b").caption, "None");
    // The receiver refuses a message it does not know.
    EXPECT_FALSE(rx.command("em,/dev/ser/b,/msg/rtcm{/77:1}"));
}

TEST_F(RtkSimTest, BaseFromThePresets) {
    ASSERT_TRUE(enable("/dev/ser/b", "RTK RTCM3 GGD full", "1"));
    TBasePage base;
    base.refresh(rx, host);
    ASSERT_TRUE(base.Gps.LatD.enabled());
    EXPECT_EQ(base.Gps.Datum.text(), "W84");
    base.AvrgModeCheckBox.setChecked(false);
    base.Gps.LatHemisphere.setItemIndex(1);
    base.Gps.LatD.setText("33");
    base.Gps.LatM.setText("52");
    base.Gps.LatS.setText("4.5");
    base.Gps.LonD.setText("151");
    base.Gps.Alt.setText("42.1");
    base.BaseStidEdit.setText("17");
    SelectComboText(base.BaseCMRMotionComboBox, "Kinematic");
    base.BaseRTCMGLOCheckBox.setChecked(false);
    base.BaseCMRMeasP1RadioButton.setChecked(true);
    base.BaseCMRMeasCARadioButton.setChecked(false);
    ASSERT_TRUE(base.apply(rx, host).ok) << host.status << " " << rx.lastError();
    EXPECT_EQ(rx.print("/par/ref/pos/gps/geo"), "{W84,S33d52m4.5s,E151d00m00.0000s,42.1}");
    EXPECT_EQ(rx.print("/par/ref/pos/glo/geo"), rx.print("/par/ref/pos/gps/geo"));
    EXPECT_EQ(rx.print("/par/rtcm/base/stid"), "17");
    EXPECT_EQ(rx.print("/par/rtcm/base/sys"), "{on,off}");
    EXPECT_EQ(rx.print("/par/cmr/base/pcode"), "on");
    EXPECT_EQ(DetectPreset(rx, "/dev/ser/b").caption, "RTK RTCM3 GGD full");

    // A refused value stops the Apply on its row.
    base.MaxSatsEdit.setText("99");
    EXPECT_FALSE(base.apply(rx, host).ok);
    EXPECT_EQ(host.status, "Can't set max. number of satellites");
    EXPECT_TRUE(base.MaxSatsEdit.focused());
}

TEST_F(RtkSimTest, RoverFromThePresets) {
    ASSERT_TRUE(rx.set("/par/dev/ser/b/imode", "rtcm3"));
    TRoverPage rover;
    rover.refresh(rx, host);
    EXPECT_TRUE(rover.RoverStandAloneRadioButton.checked());
    EXPECT_TRUE(rover.RTKDynamicRadioButton.checked());
    EXPECT_TRUE(rover.RTKResetButton.enabled());
    rover.RoverStandAloneRadioButton.setChecked(false); // the widgets keep radios exclusive
    rover.RoverRTKRadioButton.setChecked(true);
    rover.RTKStaticRadioButton.setChecked(true);
    rover.RTKDynamicRadioButton.setChecked(false);
    SelectComboText(rover.PDDiffCorSourceComboBox, "Serial B");
    SelectComboText(rover.AFLevelRadioGroup, "High");
    ASSERT_TRUE(rover.apply(rx, host).ok) << host.status << " " << rx.lastError();
    EXPECT_EQ(rx.print("/par/pos/mode/cur"), "pd");
    EXPECT_EQ(rx.print("/par/pos/pd/port"), "/dev/ser/b");
    EXPECT_EQ(rx.print("/par/pos/pd/dyn"), "0.0");
    EXPECT_EQ(rx.print("/par/pos/pd/aflevel"), "high");
    EXPECT_TRUE(rover.resetEngine(rx, host).ok);

    rover.refresh(rx, host);
    EXPECT_TRUE(rover.RTKStaticRadioButton.checked());
    EXPECT_TRUE(rover.RoverRTKRadioButton.checked());
    EXPECT_FALSE(rover.ApplyButton.enabled());
}

// Both pages write the positioning mode and the solution modes, Positioning first: the choice
// the user made on either must be what OK and a saved script leave in the receiver.
TEST_F(RtkSimTest, ModeChosenOnEitherPageSurvivesOkAndTheSavedScript) {
    TReceiverConfig config(host);
    config.refreshAll(rx);
    TPositioningPage& pos = config.Positioning;
    TRoverPage& rover = config.Rover;
    ASSERT_TRUE(rover.RoverStandAloneRadioButton.checked());
    ASSERT_FALSE(config.pendingChanges());

    // The widgets keep radios exclusive; a rover option changes as well.
    pos.PosStandAloneRadioButton.setChecked(false);
    pos.PosDGPSRadioButton.setChecked(true);
    const bool cd = pos.PosCodeDiffCheckBox.checked();
    pos.PosCodeDiffCheckBox.setChecked(!cd);
    rover.MultiBaseCheckBox.setChecked(!rover.MultiBaseCheckBox.checked());
    EXPECT_TRUE(rover.RoverDGPSRadioButton.checked());
    EXPECT_EQ(rover.RoverDGPSCheckBox.checked(), !cd);
    ASSERT_TRUE(config.ok(rx)) << host.status << " " << rx.lastError();
    EXPECT_EQ(rx.print("/par/pos/mode/cur"), "cd");
    EXPECT_EQ(rx.print("/par/pos/mode/cd"), cd ? "off" : "on");

    // Chosen on the Rover page, while only Positioning has other changes.
    rover.RoverDGPSRadioButton.setChecked(false);
    rover.RoverRTKRadioButton.setChecked(true);
    EXPECT_TRUE(pos.PosRTKFixedRadioButton.checked());
    EXPECT_TRUE(pos.ApplyButton.enabled());
    pos.PDOPPosMaskEdit.setText("11");
    ASSERT_TRUE(pos.apply(rx, host).ok) << host.status;
    EXPECT_EQ(rx.print("/par/pos/mode/cur"), "pd");
    ASSERT_TRUE(config.ok(rx)) << host.status;
    EXPECT_EQ(rx.print("/par/pos/mode/cur"), "pd");

    std::ostringstream script;
    ASSERT_TRUE(WriteConfigScript(script, {"1.0", "today", "VORNA"}, config));
    EXPECT_NE(script.str().find("%/par/pos/mode/cur%set,/par/pos/mode/cur,pd\n"),
              std::string::npos);
    EXPECT_EQ(script.str().find("%/par/pos/mode/cur%set,/par/pos/mode/cur,sp\n"),
              std::string::npos);
    EXPECT_EQ(script.str().find("%/par/pos/mode/cur%set,/par/pos/mode/cur,cd\n"),
              std::string::npos);
}

} // namespace
