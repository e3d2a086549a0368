// The whole configuration through Save and the script interpreter: pages applied to the
// simulated receiver are saved as a script, the receiver is brought back to its defaults, and
// telvor-cli runs the script; the receiver then holds what the pages had applied.
#include "support/Run.h"
#include "support/Simsession.h"

#include "config/Configscript.h"
#include "config/Fakereceiver.h"
#include "config/Presets.h"
#include "config/Receiverconfig.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace telvor;

namespace {

class RoundtripTest : public telvor::testing::TSimSessionFixture {
protected:
    RoundtripTest() : TSimSessionFixture("telvor-roundtrip") {}
    void SetUp() override {
        TSimSessionFixture::SetUp();
        telvorsim::TSimOptions options;
        options.epochWallMs = 600000;
        ASSERT_NO_FATAL_FAILURE(connectPaused(options));
    }

    TReceiverParams rx;
    telvor::testing::TQuietHost host;
};

TEST_F(RoundtripTest, SavedConfigurationRunsBackIntoTheReceiver) {
    TReceiverConfig config(host);
    config.refreshAll(rx);
    TPortRow& b = *config.Ports.Serial.ports()[1];
    SelectComboText(b.OutMode, "RTK RTCM {18,19,23,24}");
    b.Period.setText("2");
    SelectComboText(b.InpMode, "RTCM 3.x");
    config.Base.BaseStidEdit.setText("17");
    config.Base.Gps.LatHemisphere.setItemIndex(1);
    config.Base.Gps.LatD.setText("41");
    config.Rover.RoverStandAloneRadioButton.setChecked(false);
    config.Rover.RoverRTKRadioButton.setChecked(true);
    config.Rover.RTKStaticRadioButton.setChecked(true);
    config.Rover.RTKDynamicRadioButton.setChecked(false);
    config.Tavrex.FileELMEdit.setText("12");
    config.Advanced.Loops.PLLBandwidthEdit.setText("30");
    ASSERT_TRUE(config.ok(rx)) << host.status << " " << rx.lastError();
    ASSERT_FALSE(config.pendingChanges());

    const auto file = dir / "config.vxc";
    {
        std::ofstream out(file);
        ASSERT_TRUE(WriteConfigScript(out, {"1.0", "today", "VORNA"}, config));
    }
    ASSERT_TRUE(rx.command("init,/par/"));
    ASSERT_EQ(rx.print("/par/rtcm/base/stid"), "0");
    session->disconnect();

    const auto run =
        telvor::testing::runCommand(std::string(TELVOR_CLI_EXE) + " --settings " + dir.string() +
                                    " --port " + port + " run " + file.string() + " 2>&1");
    ASSERT_EQ(run.code, 0) << run.out;

    ASSERT_TRUE(session->connect()) << session->lastError();
    ASSERT_EQ(session->pauseMonitoring(), "");
    EXPECT_EQ(rx.print("/par/rtcm/base/stid"), "17");
    EXPECT_EQ(rx.print("/par/ref/pos/gps/geo"), "{W84,S41d00m00.0000s,E000d00m00.0000s,0.0000}");
    EXPECT_EQ(rx.print("/par/ref/pos/glo/geo"), rx.print("/par/ref/pos/gps/geo"));
    EXPECT_EQ(rx.print("/par/pos/mode/cur"), "pd");
    EXPECT_EQ(rx.print("/par/pos/pd/dyn"), "0.0");
    EXPECT_EQ(rx.print("/par/out/elm/cur/log"), "12");
    EXPECT_EQ(rx.print("/par/raw/pll/band"), "30");
    EXPECT_EQ(rx.print("/par/dev/ser/b/imode"), "rtcm3");
    const auto output = DetectPreset(rx, "/dev/ser/b");
    EXPECT_EQ(output.caption, "RTK RTCM {18,19,23,24}");
    EXPECT_EQ(output.period, "2.00");
}

} // namespace
