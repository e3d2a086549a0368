#include "monitor/Numformat.h"
#include "monitor/Parsers.h"
#include "support/Messagemaker.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace telvor;
using namespace telvor::testing;

namespace {

class Decoders : public ::testing::Test {
protected:
    TMonitorView view;
    TTargetPoint target;
    TMonitorDecoder dec{view, target};

    bool decode(std::string_view id, const std::string& body) {
        std::string m = makeMessage(id, body);
        return dec.decode(u8p(m), m.size());
    }
    std::vector<std::string> column(bool glonass, std::size_t c) {
        std::vector<std::string> out;
        for (const auto& r : view.list(glonass).rows)
            out.push_back(c < r.cells.size() ? r.cells[c] : "<none>");
        return out;
    }
    using V = std::vector<std::string>;
};

double deg(double d) {
    return d * kPi / 180;
}

} // namespace

TEST_F(Decoders, SatelliteIndexClassesPickListAndCaption) {
    ASSERT_TRUE(decode("SI", bytesOf({1, 37, 38, 70, 119, 139, 120, 45, 0})));
    EXPECT_EQ(column(false, 0), (V{"01*", "37*", "??", "??", "120", "??"}));
    EXPECT_EQ(column(true, 1), (V{"-7", "25", "00"}));
    EXPECT_EQ(view.text("GPSCountLabel"), "GPS Satellites (6)");
    EXPECT_EQ(view.text("GLOCountLabel"), "GLONASS Satellites (3)");

    // Entry i goes to the row "SI" gave it; GLONASS columns sit one further right.
    ASSERT_TRUE(decode("EL", bytesOf({10, 20, 30, 40, 50, 60, 70, 80, 127})));
    EXPECT_EQ(column(false, 1), (V{"10", "20", "50", "60", "70", "??"}));
    EXPECT_EQ(column(true, 2), (V{"30", "40", "80"}));
    ASSERT_TRUE(decode("AZ", bytesOf({0, 1, 179, 255, 2, 2, 2, 2, 2})));
    EXPECT_EQ(column(false, 2)[0], "0");
    EXPECT_EQ(column(false, 2)[1], "2");
    EXPECT_EQ(column(true, 3)[0], "358");
    EXPECT_EQ(column(true, 3)[1], "??");

    // A new "SI" with fewer satellites drops rows and forgets stale values.
    ASSERT_TRUE(decode("SI", bytesOf({}))); // no entries at all
    EXPECT_TRUE(view.gps().rows.empty());
    EXPECT_TRUE(view.glonass().rows.empty());
    EXPECT_EQ(view.text("GPSCountLabel"), "GPS Satellites (0)");
    EXPECT_EQ(view.text("GLOCountLabel"), "GLONASS Satellites (0)");
    ASSERT_TRUE(decode("SI", bytesOf({2})));
    EXPECT_EQ(view.gps().rows[0].cells, (V{"02*", "", "", "", "", "", "", ""}));
}

TEST_F(Decoders, GlonassSlotCaptionsAndAlmanacMarks) {
    std::string na = makeMessage("NA", bytesOf({5, 0, 0}));
    dec.noteAlmanac(u8p(na), na.size());
    std::string bad = makeMessage("GA", bytesOf({3}));
    bad.back() ^= 1;
    dec.noteAlmanac(u8p(bad), bad.size());
    std::string ga = makeMessage("GA", bytesOf({4}));
    dec.noteAlmanac(u8p(ga), ga.size());

    ASSERT_TRUE(decode("SI", bytesOf({3, 4, 40, 41, 42})));
    EXPECT_EQ(column(false, 0), (V{"03*", "04"}));
    ASSERT_TRUE(decode("NN", bytesOf({5, 6, 255})));
    EXPECT_EQ(column(true, 0), (V{"05", "06*", "??"}));

    ASSERT_TRUE(decode("GA", bytesOf({4})));
    EXPECT_EQ(view.text("GALabel"), " 1 {...*" + std::string(33, '.') + "}");
    ASSERT_TRUE(decode("NA", bytesOf({5})));
    EXPECT_EQ(view.text("NALabel"), " 1 {....*" + std::string(19, '.') + "}");
}

TEST_F(Decoders, TrackingTimeAndStatusTexts) {
    ASSERT_TRUE(decode("SI", bytesOf({1, 2, 3, 4})));
    ASSERT_TRUE(decode("TC", TPack()
                                 .put<std::uint16_t>(59)
                                 .put<std::uint16_t>(60)
                                 .put<std::uint16_t>(65534)
                                 .put<std::uint16_t>(65535)
                                 .str()));
    EXPECT_EQ(column(false, 6), (V{":59", "1", "1092", "inf"}));
    ASSERT_TRUE(decode("SS", bytesOf({4, 55, 56, 3, 0})));
    EXPECT_EQ(column(false, 7), (V{"04-", "55+", "56-", "03+"}));
    ASSERT_TRUE(decode("EC", bytesOf({45, 255, 0, 60})));
    EXPECT_EQ(column(false, 3), (V{"45", "??", "0", "60"}));
}

TEST_F(Decoders, DopplerTrendMarksOncePerElevation) {
    ASSERT_TRUE(decode("SI", bytesOf({1, 40}))); // GLONASS frequency number -5
    ASSERT_TRUE(decode("EL", bytesOf({30, 20})));
    auto dc = [](std::int32_t a, std::int32_t b) { return TPack().put(a).put(b).str(); };
    // Clock rate 0: v = -Doppler x 0.0001 Hz.
    ASSERT_TRUE(decode("DC", dc(-199900, 200000))); // 19.99 Hz and -20 Hz
    EXPECT_EQ(column(false, 1)[0], "30^");
    EXPECT_EQ(column(true, 2)[0], "20--");
    ASSERT_TRUE(decode("DC", dc(-500000, -500000)));
    EXPECT_EQ(column(false, 1)[0], "30^");
    EXPECT_EQ(column(true, 2)[0], "20--");

    ASSERT_TRUE(decode("EL", bytesOf({31, 21})));
    ASSERT_TRUE(decode("DC", dc(2147483647, -500000)));
    EXPECT_EQ(column(false, 1)[0], "31  ");
    EXPECT_EQ(column(true, 2)[0], "21+");

    // The GLONASS carrier uses the row's frequency number: 19 Hz at k = -5 would be 21.8 Hz
    // at k = 0.
    ASSERT_TRUE(decode("DO", TPack().put(1e-6f).str()));
    EXPECT_EQ(view.text("ClockOffsetLabel"), "+1.0000 ppm");
    ASSERT_TRUE(decode("EL", bytesOf({31, 21})));
    ASSERT_TRUE(decode("DC", dc(0, 15801875)));
    EXPECT_EQ(column(true, 2)[0], "21^");
}

TEST_F(Decoders, OscillatorOffsetModes) {
    dec.deltaDoubleClick(false); // nothing to show yet
    EXPECT_FALSE(view.visible("TimeDriftLabel"));

    dec.oscillator().setMode(1);
    ASSERT_TRUE(decode("OO", TPack().put(2e-7f).str()));
    EXPECT_EQ(view.text("TimeDriftLabel"), "0.0000 ppb"); // first value: no delta
    ASSERT_TRUE(decode("OO", TPack().put(2.5e-7f).str()));
    EXPECT_EQ(view.text("TimeDriftLabel"), "+50.0000 ppb");
    ASSERT_TRUE(decode("OO", TPack().put(2.4e-7f).str()));
    EXPECT_EQ(view.text("TimeDriftLabel"), "-10.0000 ppb");
    dec.deltaDoubleClick(false);
    EXPECT_EQ(view.text("TimeDriftLabel"), "50.0000 ppb");
    dec.deltaDoubleClick(true); // Shift in mode 2 resets the maximum
    EXPECT_EQ(view.text("TimeDriftLabel"), "0.0000 ppb");
    dec.deltaDoubleClick(false);
    EXPECT_EQ(view.text("TimeDriftLabel"), "+0.2400 ppm");
    dec.deltaDoubleClick(true); // Shift outside mode 2 does nothing
    EXPECT_EQ(dec.oscillator().mode(), 0);
}

TEST_F(Decoders, RtcmLinkStatusAcceptance) {
    const std::string body = ",RTCMST,001,0012,0034,095.00,@";
    ASSERT_TRUE(decode("MS", body));
    EXPECT_EQ(view.text("RTKLinkLabel"), "LQ: 095.00% (001,0012,0034)");
    EXPECT_TRUE(view.visible("RTKLinkLabel"));

    std::string wrongSum = makeMessage("MS", ",RTCMST,002,0012,0034,095.00,@");
    wrongSum.back() = wrongSum.back() == '0' ? '1' : '0';
    EXPECT_FALSE(dec.decode(u8p(wrongSum), wrongSum.size()));
    EXPECT_FALSE(decode("MS", ",RTCMST,002,0012;0034,095.00,@")); // comma 22 missing
    EXPECT_FALSE(decode("MS", ",RTCMSX,002,0012,0034,095.00,@"));
    EXPECT_EQ(view.text("RTKLinkLabel"), "LQ: 095.00% (001,0012,0034)");

    // A one-decimal quality keeps its integer part.
    ASSERT_TRUE(decode("MS", ",RTCMST,001,0012,0034,95.5,@"));
    EXPECT_EQ(view.text("RTKLinkLabel"), "LQ: 95% (001,0012,0034)");

    ASSERT_TRUE(decode("MS", ",RTCMST,999,0000,0000,100.00,@"));
    EXPECT_FALSE(view.visible("RTKLinkLabel"));
}

TEST(Angles, MinutesCarryIntoDegreesAndZeroIsNorth) {
    EXPECT_EQ(dmsText(deg(10 + 59.99999999 / 60), false), "11\u00B0 00' 00.0000\" N");
    EXPECT_EQ(dmsText(-0.0, false), "0\u00B0 00' 00.0000\" N");
    EXPECT_EQ(dmsText(-deg(45.51), false), "45\u00B0 30' 36.0000\" S");
    EXPECT_EQ(dmsText(deg(7.5), true), "7\u00B0 30' 00.0000\" E");
    EXPECT_EQ(dmsText(-deg(180), true), "180\u00B0 00' 00.0000\" W");
    EXPECT_EQ(dmsText(deg(90), false), "90\u00B0 00' 00.0000\" N");
    TDms a = formatAngleDms(deg(1 + 2.0 / 60 + 3.123456 / 3600), true, 5);
    EXPECT_EQ(a.degrees, 1);
    EXPECT_EQ(a.minutes, 2);
    EXPECT_NEAR(a.seconds, 3.12346, 1e-5);
}

TEST(Angles, UnknownAndHugeAngles) {
    EXPECT_EQ(dmsText(std::nan(""), false), "??");
    EXPECT_EQ(dmsText(-HUGE_VAL, true), "??");
    EXPECT_FALSE(formatAngleDms(1e303, false, 4).known);
    // Large but convertible: whole minutes and degrees within the limit, never garbage.
    for (double a : {1e10, -3e15, 1e300}) {
        TDms d = formatAngleDms(a, true, 4);
        EXPECT_TRUE(d.known);
        EXPECT_GE(d.degrees, 0);
        EXPECT_LE(d.degrees, 180);
        EXPECT_GE(d.minutes, 0);
        EXPECT_LT(d.minutes, 60);
        EXPECT_GE(d.seconds, 0);
        EXPECT_LT(d.seconds, 60);
    }
    EXPECT_EQ(courseText(std::nan("")), "??");
    TOffsets o = targetOffsets(0, 1e303, 0, 0);
    EXPECT_TRUE(std::isnan(o.distance));
    EXPECT_TRUE(std::isnan(o.course));
    EXPECT_EQ(fixedText(HUGE_VAL, 7, 4, " m"), "??");
    EXPECT_EQ(fixedText(2, 7, 4, " m", ""), "2.0000 m");
    EXPECT_EQ(fixedText(std::nan(""), 7, 4, " m", ""), "");
}

TEST(Numbers, FixedFormatHonoursPrecision) {
    EXPECT_EQ(formatFixed(1234.5678, 7, 4), "1234.5680");
    EXPECT_EQ(formatFixed(5, 7, 4), "5.0000");
    EXPECT_EQ(formatFixed(-0.00001, 15, 4), "0.0000");
    EXPECT_EQ(formatFixed(-12.5, 15, 3), "-12.500");
    EXPECT_EQ(formatFixed(std::nan(""), 7, 4), "NAN");
    EXPECT_EQ(formatFixed(12345678.9, 7, 4), "1.234568E+07");
    EXPECT_EQ(formatFixed(99.99999, 6, 4), "100.0000");
}

TEST_F(Decoders, GeodeticPositionTargetAndOffsets) {
    std::vector<std::pair<double, double>> saved;
    dec.setTargetChanged([&](double lat, double lon) { saved.emplace_back(lat, lon); });
    auto pg = [](double lat, double lon, double h, int type) {
        return TPack().put(lat).put(lon).put(h).put(0.5f).u8(static_cast<std::uint8_t>(type)).str();
    };
    ASSERT_TRUE(decode("PG", pg(0, 0.001, 123.45678, 4)));
    EXPECT_EQ(view.text("PosLatLabel"), "0\u00B0 00' 00.0000\" N");
    EXPECT_EQ(view.text("PosAltLabel"), "123.4568 m");
    EXPECT_EQ(view.text("PosTypeLabel"), "(RTK fixed)");
    EXPECT_TRUE(view.visible("TgtLatLabel")); // shown with the first position
    // Due west of the target: a course, not 0.
    EXPECT_EQ(view.text("ETTLabel"), "-6371.000 m");
    EXPECT_EQ(view.text("NTTLabel"), "0.000 m");
    EXPECT_EQ(view.text("DTTLabel"), "6371.000 m");
    EXPECT_EQ(view.text("CTTLabel"), "270\u00B0 00' 00.00\" ");
    EXPECT_TRUE(saved.empty());

    dec.armTargetCapture();
    ASSERT_TRUE(decode("PG", pg(deg(45.51), -deg(7.5), 0, 9)));
    EXPECT_FALSE(view.visible("PosTypeLabel"));
    EXPECT_FALSE(target.capture);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_DOUBLE_EQ(saved[0].first, deg(45.51));
    EXPECT_EQ(view.text("TgtLatLabel"), "45\u00B0 30' 36.0000\" N");
    EXPECT_EQ(view.text("TgtLonLabel"), "7\u00B0 30' 00.0000\" W");
    EXPECT_EQ(view.text("DTTLabel"), "0.000 m");
    EXPECT_EQ(view.text("CTTLabel"), "0\u00B0 00' 00.00\" ");

    // One byte short of the solution type: nothing is read or shown.
    view.hide("PosAltLabel");
    EXPECT_FALSE(decode("PG", pg(0, 0, 1, 1).substr(0, 28)));
    EXPECT_FALSE(view.visible("PosAltLabel"));
}

TEST_F(Decoders, TimeClockAndCartesianLabels) {
    dec.setDateText([](int y, int m, int d) {
        char b[16];
        std::snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d);
        return std::string(b);
    });
    ASSERT_TRUE(decode("~~", TPack().put<std::uint32_t>(90061000).str()));
    EXPECT_EQ(view.text("TimeLabel"), "25:01:01");
    ASSERT_TRUE(decode("RD", TPack().put<std::uint16_t>(2024).u8(2).u8(29).u8(0).str()));
    EXPECT_EQ(view.text("DateLabel"), "2024-02-29");
    ASSERT_TRUE(decode("RD", TPack().put<std::uint16_t>(2023).u8(2).u8(29).u8(0).str()));
    EXPECT_EQ(view.text("DateLabel"), "??");
    ASSERT_TRUE(decode("TT", TPack().put<std::uint32_t>(90061).str()));
    EXPECT_EQ(view.text("TrackingTimeLabel"), "1d 01:01:01");
    ASSERT_TRUE(decode("TT", TPack().put<std::uint32_t>(3661).str()));
    EXPECT_EQ(view.text("TrackingTimeLabel"), "01:01:01");
    ASSERT_TRUE(decode("DP", TPack().put(3.f).put(4.f).put(9.f).str()));
    EXPECT_EQ(view.text("PDOPLabel"), "5.0000");
    ASSERT_TRUE(decode("SG", TPack().put(3.f).put(4.f).put(6.f).put(8.f).str()));
    EXPECT_EQ(view.text("PSigmaLabel"), "5.0000 m");
    EXPECT_EQ(view.text("VSigmaLabel"), "10.0000 m/s");

    auto xyz = TPack().put(6378137.25).put(-1.0).put(0.0).put(1.f);
    ASSERT_TRUE(decode("PO", TPack(xyz).u8(0).str()));
    EXPECT_FALSE(view.visible("PositionX")); // no solution: unchanged
    ASSERT_TRUE(decode("PO", TPack(xyz).u8(1).str()));
    EXPECT_EQ(view.text("PositionX"), "6378137.2500");
    EXPECT_EQ(view.text("PositionY"), "-1.0000");
    ASSERT_TRUE(decode("VE", TPack().put(3.f).put(4.f).put(0.f).put(1.f).u8(2).str()));
    EXPECT_EQ(view.text("SpeedLabel"), "5.0000 m/s");

    std::vector<std::string> debug;
    dec.setDebugSink([&](const std::string& s) { debug.push_back(s); });
    ASSERT_TRUE(decode("PV", TPack(xyz).put(std::nanf("")).put(4.f).put(0.f).put(1.f).u8(3).str()));
    EXPECT_EQ(view.text("SpeedLabel"), "??");
    EXPECT_EQ(debug, (V{"NAN 4.0000 0.0000"}));
}

// Floats straight from the receiver may be NaN or infinite: such a value is shown as unknown,
// and never converted to an integer on the way.
TEST_F(Decoders, NonFiniteValuesShowUnknown) {
    const double nan = std::nan(""), inf = HUGE_VAL;
    const float nanf = std::nanf(""), inff = HUGE_VALF;
    auto pg = [](double lat, double lon, double h) {
        return TPack().put(lat).put(lon).put(h).put(0.5f).u8(4).str();
    };
    dec.armTargetCapture();
    ASSERT_TRUE(decode("PG", pg(nan, -inf, inf)));
    for (const char* label : {"PosLatLabel", "PosLonLabel", "PosAltLabel", "ETTLabel", "NTTLabel",
                              "DTTLabel", "CTTLabel"})
        EXPECT_EQ(view.text(label), "??") << label;
    EXPECT_TRUE(target.capture); // an unknown position is no target
    target.capture = false;

    // Finite, but its seconds of arc overflow: the fuzzer's first finding.
    ASSERT_TRUE(decode("PG", pg(1e303, deg(7.5), 10)));
    EXPECT_EQ(view.text("PosLatLabel"), "??");
    EXPECT_EQ(view.text("PosLonLabel"), "7\u00B0 30' 00.0000\" E");
    EXPECT_EQ(view.text("NTTLabel"), "??");
    EXPECT_EQ(view.text("CTTLabel"), "??");

    ASSERT_TRUE(decode("DP", TPack().put(nanf).put(1.f).put(1.f).str()));
    EXPECT_EQ(view.text("PDOPLabel"), "??");
    ASSERT_TRUE(decode("SG", TPack().put(1.f).put(inff).put(1.f).put(nanf).str()));
    EXPECT_EQ(view.text("PSigmaLabel"), "??");
    EXPECT_EQ(view.text("VSigmaLabel"), "??");
    ASSERT_TRUE(decode("PO", TPack().put(inf).put(1.0).put(nan).put(1.f).u8(1).str()));
    EXPECT_EQ(view.text("PositionX"), "??");
    EXPECT_EQ(view.text("PositionY"), "1.0000");
    EXPECT_EQ(view.text("PositionZ"), "??");
    ASSERT_TRUE(decode("VE", TPack().put(inff).put(0.f).put(0.f).put(1.f).u8(1).str()));
    EXPECT_EQ(view.text("SpeedLabel"), "??");

    // An unknown clock rate keeps the last known one for the trend marks.
    ASSERT_TRUE(decode("DO", TPack().put(1e-6f).str()));
    ASSERT_TRUE(decode("DO", TPack().put(nanf).str()));
    EXPECT_EQ(view.text("ClockOffsetLabel"), "??");
    ASSERT_TRUE(decode("SI", bytesOf({1})));
    ASSERT_TRUE(decode("EL", bytesOf({30})));
    ASSERT_TRUE(decode("DC", TPack().put<std::int32_t>(15754200).str())); // v = 0 at 1 ppm
    EXPECT_EQ(column(false, 1)[0], "30^");

    // An unknown oscillator offset is shown as such; the next delta is against the last
    // known value.
    dec.oscillator().setMode(1);
    ASSERT_TRUE(decode("OO", TPack().put(2e-7f).str()));
    ASSERT_TRUE(decode("OO", TPack().put(inff).str()));
    EXPECT_EQ(view.text("TimeDriftLabel"), "??");
    ASSERT_TRUE(decode("OO", TPack().put(2.5e-7f).str()));
    EXPECT_EQ(view.text("TimeDriftLabel"), "+50.0000 ppb");
}

TEST_F(Decoders, EventsCountedOnlyWithGoodChecksum) {
    std::string xa = makeMessage("XA", "event");
    std::string xb = makeMessage("XB", "event");
    xb.back() ^= 0x55;
    dec.countEvent(u8p(xa), xa.size());
    dec.countEvent(u8p(xa), xa.size());
    dec.countEvent(u8p(xb), xb.size());
    dec.refreshEventLabels();
    EXPECT_EQ(view.text("EventALabel"), "Event A: 2");
    EXPECT_TRUE(view.visible("EventALabel"));
    EXPECT_FALSE(view.visible("EventBLabel"));
    dec.resetEvent(0);
    dec.refreshEventLabels();
    EXPECT_EQ(view.text("EventALabel"), "Event A: 0");
    EXPECT_TRUE(view.visible("EventALabel"));
}

TEST_F(Decoders, LoggingWindowTakesItsControls) {
    TMonitorView logging(TViewKind::Logging);
    dec.setLoggingView(&logging);
    ASSERT_TRUE(decode("~~", TPack().put<std::uint32_t>(1000).str()));
    ASSERT_TRUE(decode("SI", bytesOf({1, 40})));
    ASSERT_TRUE(decode("SS", bytesOf({1, 2, 0})));
    ASSERT_TRUE(decode("TC", TPack().put<std::uint16_t>(70).put<std::uint16_t>(80).str()));
    ASSERT_TRUE(decode("DO", TPack().put(0.f).str()));
    EXPECT_EQ(logging.text("TimeLabel"), "00:00:01");
    EXPECT_FALSE(view.visible("TimeLabel"));
    ASSERT_EQ(logging.gps().rows.size(), 1u);
    EXPECT_EQ(logging.gps().rows[0].cells, (V{"01*", "", "", "", "", "", "1"})); // no "SS"
    EXPECT_EQ(logging.glonass().rows[0].cells[7], "1");
    EXPECT_TRUE(view.gps().rows.empty());
    EXPECT_TRUE(view.visible("ClockOffsetLabel")); // the main window's in any case
}

TEST_F(Decoders, ResetClearsListsMapsAndCounters) {
    std::string ga = makeMessage("GA", bytesOf({1}));
    dec.noteAlmanac(u8p(ga), ga.size());
    std::string xa = makeMessage("XA", "e");
    dec.countEvent(u8p(xa), xa.size());
    ASSERT_TRUE(decode("SI", bytesOf({1, 40})));
    ASSERT_TRUE(decode("~~", TPack().put<std::uint32_t>(1000).str()));
    dec.resetDisplay();
    EXPECT_TRUE(view.gps().rows.empty());
    EXPECT_EQ(view.text("GPSCountLabel"), "GPS Satellites");
    EXPECT_EQ(view.text("GALabel"), " 0");
    EXPECT_FALSE(dec.satellites().almanacSeen(0));
    EXPECT_EQ(dec.eventCount(0), 0u);
    EXPECT_FALSE(view.visible("TimeLabel"));
    for (const auto& [name, text] : view.visibleLabels())
        EXPECT_TRUE(name == "GPSCountLabel" || name == "GLOCountLabel" || name == "GALabel" ||
                    name == "NALabel")
            << name;
}
