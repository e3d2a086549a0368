// The RTK presets: the enable command of each, and what a port's output is recognised as.
#include "config/Presets.h"
#include "config/Fakereceiver.h"

#include <gtest/gtest.h>

using namespace telvor;
using telvor::testing::TFakeReceiver;

namespace {

TEST(PresetsTest, CommandTexts) {
    EXPECT_EQ(PresetCommand("/dev/ser/b", "DGPS RTCM {1,31,3}", "1"),
              "%%em,/dev/ser/b,/msg/rtcm{/1:1,/31:1,/3:10}");
    // The "/9" member keeps its own period.
    EXPECT_EQ(PresetCommand("/dev/ser/a", "RTK CMR+ {10,0,9}", "5"),
              "%%em,/dev/ser/a,/msg/cmr{/10:5,/0:5,/9:1}");
    EXPECT_EQ(PresetCommand("/dev/ser/a", "RTK RTCM3 GGD full", "0.5"),
              "%%em,/dev/ser/a,/msg/rtcm3{/1004:0.5,/1012:0.5,/1006:10,/1008:10}");
    EXPECT_EQ(PresetCommand("/dev/usb/a", "RTK VXR max", "2"),
              "%%em,/dev/usb/a,/msg/rtk/vxr/max:2");
    EXPECT_EQ(PresetCommand("/dev/ser/a", "RTK CMR   {10,0,1}", "1"),
              "%%em,/dev/ser/a,/msg/cmr{/10:1,/0:1,/1:10}");
    EXPECT_EQ(PresetCommand("/dev/ser/a", "None", "1"), "%%");
    EXPECT_EQ(PresetCommand("/dev/ser/a", "User Defined", "1"), "");
    EXPECT_EQ(PresetCommand("/dev/ser/a", "RTK CMR {10,0,1}", "1"), "none"); // one blank
}

class DetectPresetTest : public ::testing::Test {
protected:
    TDetectedPreset detect(const std::string& output) {
        rx.values["/par/out/dev/ser/b:on"] = output;
        return DetectPreset(rx, "/dev/ser/b");
    }
    TFakeReceiver rx;
};

TEST_F(DetectPresetTest, NothingEnabledIsNone) {
    for (const char* empty : {"{}", "{ }"}) {
        const auto found = detect(empty);
        EXPECT_TRUE(found.ok);
        EXPECT_EQ(found.caption, "None") << empty;
        EXPECT_EQ(found.period, "");
    }
}

TEST_F(DetectPresetTest, PresetsAreKnownByNamesAndPeriods) {
    auto found = detect("{rtcm/1={1.00,0.00},rtcm/31={1.00,0.00},rtcm/3={10.00,0.00}}");
    EXPECT_EQ(found.caption, "DGPS RTCM {1,31,3}");
    EXPECT_EQ(found.period, "1.00");
    found = detect("{cmr/10={2.00,0.00},cmr/0={2.00,0.00},cmr/9={1.00,0.00}}");
    EXPECT_EQ(found.caption, "RTK CMR+ {10,0,9}");
    EXPECT_EQ(found.period, "2.00");
    found = detect("{rtcm3/1003={1},rtcm3/1011={1},rtcm3/1006={10},rtcm3/1008={10}}");
    EXPECT_EQ(found.caption, "RTK RTCM3 GGD min");
    // A fixed member at another period, variable members that differ, or another order: the
    // user's own.
    EXPECT_EQ(detect("{rtcm/1={1},rtcm/31={1},rtcm/3={5}}").caption, "User Defined");
    EXPECT_EQ(detect("{rtcm/1={1},rtcm/31={2},rtcm/3={10}}").caption, "User Defined");
    EXPECT_EQ(detect("{rtcm/31={1},rtcm/1={1},rtcm/3={10}}").caption, "User Defined");
    EXPECT_EQ(detect("{rtcm/1={1},rtcm/31={1}}").caption, "User Defined");
}

TEST_F(DetectPresetTest, VxrSetsAreComparedWithTheReceiversExpansion) {
    rx.values["/msg/rtk/vxr/min:on"] = "{vxr/RT={1.00,0.00},vxr/PO={1.00,0.00}}";
    rx.values["/msg/rtk/vxr/max:on"] = "{vxr/RT={1.00,0.00},vxr/SI={1.00,0.00},vxr/PO={1.00,0.00}}";
    auto found = detect("{vxr/RT={5.00,0.00},vxr/SI={1.00,0.00},vxr/PO={1.00,0.00}}");
    EXPECT_EQ(found.caption, "RTK VXR max");
    EXPECT_EQ(found.period, "5.00");
    // Only the first element's period may differ.
    EXPECT_EQ(detect("{vxr/RT={1.00,0.00},vxr/PO={2.00,0.00}}").caption, "User Defined");
    EXPECT_EQ(detect("{vxr/RT={1.00,0.50},vxr/PO={1.00,0.00}}").caption, "User Defined");
}

TEST_F(DetectPresetTest, UnbalancedOrMissingReplyFails) {
    EXPECT_FALSE(detect("{rtcm/1={1.00,0.00}").ok);
    EXPECT_FALSE(detect("{vxr/\"RT={1}}").ok);
    rx.values.clear();
    EXPECT_FALSE(DetectPreset(rx, "/dev/ser/b").ok);
}

} // namespace
