#include "monitor/Maskrules.h"
#include "monitor/Numformat.h"
#include "monitor/Plotdata.h"
#include "monitor/Plotsettings.h"
#include "monitor/Scattermath.h"
#include "monitor/Skymap.h"
#include "monitor/Stripmath.h"
#include "monitor/Target.h"
#include "settings/Profile.h"
#include "support/Messagemaker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <tuple>
#include <unistd.h>

using namespace telvor;
using namespace telvor::testing;

namespace {

std::string pg(double lat, double lon, int type) {
    return makeMessage(
        "PG",
        TPack().put(lat).put(lon).put(100.0).put(0.f).u8(static_cast<std::uint8_t>(type)).str());
}

struct Clock {
    std::uint32_t now = 1000;
    TPlotData::Clock fn() {
        return [this] { return now; };
    }
};

void feed(TPlotData& d, const std::string& m) {
    d.feed(u8p(m), m.size());
}

// East offset of a fix `metres` west of a target at the equator.
double lonWest(double metres) {
    return -metres / kEarthRadius;
}

} // namespace

TEST(PlotData, HistoryLengthRules) {
    EXPECT_EQ(TPlotData::capacityFromSetting(1000), 3600);
    EXPECT_EQ(TPlotData::capacityFromSetting(27), 3600);
    EXPECT_EQ(TPlotData::resizedCapacity(27), 27);
    EXPECT_EQ(TPlotData::resizedCapacity(5000), 5000);
    EXPECT_EQ(TPlotData::resizedCapacity(5000000), 2678400);

    std::string ini = ::testing::TempDir() + "plots_" + std::to_string(::getpid()) + ".ini";
    std::remove(ini.c_str());
    TProfile profile(ini);
    ASSERT_TRUE(profile.write(keys::ScatterMaxDots, 1000));
    EXPECT_EQ(loadHistoryCapacity(profile), 3600);
    TPlotData data(loadHistoryCapacity(profile));
    EXPECT_EQ(data.capacity(), 3600);
    std::remove(ini.c_str());
}

TEST(PlotData, FixesBecomeHistoryEntriesAgainstTheTarget) {
    Clock clock;
    TPlotData data(3600, clock.fn());
    data.setTarget(0, 0);
    clock.now += 2400; // 2.4 s rounds to 2
    feed(data, pg(0, lonWest(10), 4));
    feed(data, pg(0, 0, 0)); // no solution: not plotted
    std::string bad = pg(0, 0, 1);
    bad[7] ^= 1;
    feed(data, bad);
    TDrained d = data.drain();
    ASSERT_EQ(d.positions.size(), 1u);
    EXPECT_NEAR(d.positions[0].east, 10, 1e-6);
    EXPECT_EQ(d.positions[0].fixClass, fcFixed);
    EXPECT_EQ(d.positions[0].time, 2u);
    EXPECT_EQ(data.classCounts()[fcFixed], 1u);
    EXPECT_EQ(data.lastFix().sequence, 2u);
    EXPECT_TRUE(data.drain().positions.empty());

    feed(data, pg(0, lonWest(-30), 1));
    data.drain();
    EXPECT_NEAR(data.means().lon, (lonWest(10) + lonWest(-30)) / 2, 1e-12); // a true mean
    EXPECT_NEAR(data.maxAbsEast(), 30, 1e-6);

    // Moving the target 5 m east shifts every stored offset and the maxima.
    data.targetMoved(0, -lonWest(5));
    auto h = data.positionHistory();
    EXPECT_NEAR(h[0].east, 15, 1e-6);
    EXPECT_NEAR(h[1].east, -25, 1e-6);
    EXPECT_NEAR(data.maxAbsEast(), 25, 1e-6);
}

TEST(PlotData, RingsAndHistoryWrap) {
    Clock clock;
    TPlotData data(3600, clock.fn());
    for (int i = 0; i < 70; ++i)
        feed(data, pg(0, lonWest(i), 2));
    TDrained d = data.drain();
    ASSERT_EQ(d.positions.size(), 60u); // the ring keeps the newest 60
    EXPECT_NEAR(d.positions.front().east, 10, 1e-6);

    data.resize(27);
    EXPECT_EQ(data.capacity(), 27);
    EXPECT_TRUE(data.positionHistory().empty());
    for (int i = 0; i < 30; ++i)
        feed(data, pg(0, lonWest(i < 3 ? 1000 : i), i < 3 ? 1 : 2));
    data.drain();
    auto h = data.positionHistory();
    ASSERT_EQ(h.size(), 27u);
    EXPECT_NEAR(h.front().east, 3, 1e-6); // oldest kept, in time order
    EXPECT_NEAR(h.back().east, 29, 1e-6);
    auto counts = data.classCounts();
    EXPECT_EQ(counts[fcStandalone], 0u);
    EXPECT_EQ(counts[fcCodeDiff], 27u);
    EXPECT_NEAR(data.maxAbsEast(), 29, 1e-6); // the 1000 m fixes are gone

    data.resetPositions();
    EXPECT_TRUE(data.positionHistory().empty());
    EXPECT_EQ(data.means().count, 0u);
}

// A visit sees the history in time order without a copy, across the ring's wrap and the
// pieces it is handed out in.
TEST(PlotData, VisitingTheHistory) {
    auto visited = [](const TPlotData& d) {
        std::vector<TPositionEntry> out;
        std::size_t calls = 0;
        d.visitPositions([&](const TPositionEntry* e, std::size_t n) {
            out.insert(out.end(), e, e + n);
            ++calls;
        });
        return std::make_pair(out, calls);
    };
    auto same = [](const std::vector<TPositionEntry>& a, const std::vector<TPositionEntry>& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].east != b[i].east || a[i].time != b[i].time)
                return false;
        return true;
    };
    Clock clock;
    TPlotData data(70000, clock.fn());
    EXPECT_EQ(visited(data).second, 0u);
    const std::string fix = pg(0, lonWest(1), 1);
    for (int i = 0; i < 66000; ++i) {
        feed(data, fix);
        if (i % 50 == 49) {
            ++clock.now;
            data.drain();
        }
    }
    data.drain();
    auto [entries, calls] = visited(data);
    EXPECT_TRUE(same(entries, data.positionHistory()));
    EXPECT_EQ(entries.size(), 66000u);
    EXPECT_EQ(calls, 2u); // longer than one piece

    data.resize(27);
    for (int i = 0; i < 30; ++i)
        feed(data, pg(0, lonWest(i), 2));
    data.drain();
    std::tie(entries, calls) = visited(data);
    EXPECT_EQ(calls, 2u); // across the wrap
    ASSERT_EQ(entries.size(), 27u);
    EXPECT_NEAR(entries.front().east, 3, 1e-6);
    EXPECT_TRUE(same(entries, data.positionHistory()));
}

TEST(PlotData, AccuracyValuesAndSatelliteViews) {
    TPlotData data;
    feed(data, makeMessage("DP", TPack().put(3.f).put(4.f).put(12.f).str()));
    feed(data, makeMessage("SG", TPack().put(1.f).put(2.f).put(3.f).put(4.f).str()));
    EXPECT_DOUBLE_EQ(data.dops().pdop, 5);
    EXPECT_DOUBLE_EQ(data.dops().gdop, 13);
    EXPECT_EQ(data.sigmas().vVel, 4.f);

    feed(data, makeMessage("GS", ",GPSVST,2,G05,45,120,C42,40,38,00,G12,90,7,C30,20,10,13,@"));
    feed(data, makeMessage("NS", ",GLSVST,1,R03,-4,10,200,C35,30,25,06,@"));
    std::string bad = makeMessage("GS", ",GPSVST,0,@");
    bad.back() = bad.back() == '0' ? '1' : '0';
    feed(data, bad);
    TDrained d = data.drain();
    ASSERT_EQ(d.views.size(), 2u);
    ASSERT_EQ(d.views[0].entries.size(), 2u);
    const TSatEntry& g5 = d.views[0].entries[0];
    EXPECT_EQ(g5.number, 5);
    EXPECT_EQ(g5.elevation, 45);
    EXPECT_EQ(g5.azimuth, 120);
    EXPECT_EQ(g5.ca, 42);
    EXPECT_EQ(g5.p1, 40);
    EXPECT_EQ(g5.p2, 38);
    EXPECT_EQ(d.views[0].entries[1].status, 13);
    ASSERT_TRUE(d.views[1].glonass);
    EXPECT_EQ(d.views[1].entries[0].frequency, -4);
    EXPECT_EQ(d.views[1].entries[0].azimuth, 200);

    // A count larger than the groups present keeps only the whole groups.
    auto v = parseSatView(makeMessage("GS", ",GPSVST,5,G01,10,20,C30,1,2,3,@"), 0);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->entries.size(), 1u);
    EXPECT_FALSE(parseSatView(makeMessage("GS", ",XXXVST,0,@"), 0));
    EXPECT_FALSE(parseSatView(makeMessage("GS", ",GPSVST"), 0));
}

// Nothing unknown or overflowing reaches the history, the means or a label.
TEST(PlotData, NonFiniteValuesStayOutOfHistoryAndTexts) {
    Clock clock;
    TPlotData data(3600, clock.fn());
    auto fix = [](double lat, double lon, double h) {
        return makeMessage("PG", TPack().put(lat).put(lon).put(h).put(0.f).u8(4).str());
    };
    feed(data, fix(std::nan(""), 0, 0));
    feed(data, fix(0, HUGE_VAL, 0));
    feed(data, fix(0, 0, std::nan("")));
    feed(data, fix(1e303, 0, 0)); // finite, but its north offset overflows
    feed(data, fix(0, 0, 1e308));
    feed(data, fix(0, 0, 1e308)); // a naive running mean overflows here
    TDrained d = data.drain();
    ASSERT_EQ(d.positions.size(), 2u);
    EXPECT_DOUBLE_EQ(data.means().height, 1e308);
    EXPECT_EQ(data.lastFix().sequence, 2u);

    // A target so far away that no offset can be carried over: the history starts afresh.
    data.targetMoved(1e303, 0);
    EXPECT_TRUE(data.positionHistory().empty());

    feed(data,
         makeMessage("SG", TPack().put(std::nanf("")).put(1.f).put(HUGE_VALF).put(1.f).str()));
    feed(data, makeMessage("DP", TPack().put(std::nanf("")).put(1.f).put(1.f).str()));
    TScatterState s;
    s.setPixelSize(100, 100);
    std::map<std::string, std::string> labels;
    for (auto& [name, text] : scatterStatistics(s, data))
        labels[name] = text;
    EXPECT_EQ(labels["RMShposLabel"], "");
    EXPECT_EQ(labels["RMSvposLabel"], "1.0000 m");
    EXPECT_EQ(labels["RMSPosLabel"], "");
    EXPECT_EQ(labels["RMSVelLabel"], "");
    TSkyTracks tracks;
    TSignalPanel panel = signalPanel(tracks, data.dops());
    EXPECT_EQ(panel.pdop, "");
    EXPECT_EQ(panel.vdop, "1.000");
    EXPECT_EQ(scatterMetres(std::nan("")), "");
}

TEST(SkyPlot, ProjectionTracksAndEmptyViews) {
    TSkyGeometry g = TSkyGeometry::forSize(200, 100);
    EXPECT_EQ(g.radius, 50);
    EXPECT_EQ(g.point(90, 123), (TPoint{100, 50}));
    EXPECT_EQ(g.point(0, 0), (TPoint{100, 0}));
    EXPECT_EQ(g.point(0, 90), (TPoint{150, 50}));
    EXPECT_EQ(g.point(45, 180), (TPoint{100, 75}));
    EXPECT_EQ(g.maskRadius(90), 0);
    EXPECT_EQ(g.maskRadius(0), 50);

    TSkyTracks tracks;
    tracks.setGeometry(g);
    TSatData view;
    view.entries = {{5, 0, 90, 10, 40, 0, 0, 0}, {6, 0, 0, 0, 30, 0, 0, 0}};
    std::vector<TSkyTracks::TStroke> strokes;
    EXPECT_TRUE(tracks.apply(view, &strokes));
    ASSERT_EQ(strokes.size(), 1u); // elevation 0, azimuth 0: no pixel
    EXPECT_TRUE(strokes[0].pixel);
    EXPECT_EQ(strokes[0].to, (TPoint{100, 50}));
    EXPECT_EQ(tracks.markers(), (std::vector<int>{4}));
    EXPECT_TRUE(tracks.state(5).present);

    strokes.clear();
    EXPECT_FALSE(tracks.apply(view, &strokes)); // same place: nothing drawn
    EXPECT_TRUE(strokes.empty());
    view.entries[0].elevation = 0;
    view.entries[0].azimuth = 90;
    EXPECT_TRUE(tracks.apply(view, &strokes));
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_FALSE(strokes[0].pixel);
    EXPECT_EQ(strokes[0].from, (TPoint{100, 50}));
    EXPECT_EQ(strokes[0].to, (TPoint{150, 50}));

    // A GLONASS view leaves the GPS markers; an empty GPS view removes them.
    TSatData glo;
    glo.glonass = true;
    glo.entries = {{3, -4, 30, 200, 35, 0, 0, 6}};
    tracks.apply(glo, nullptr);
    EXPECT_EQ(tracks.markers(), (std::vector<int>{4, 39}));
    TSatData none;
    EXPECT_TRUE(tracks.apply(none, nullptr));
    EXPECT_EQ(tracks.markers(), (std::vector<int>{39}));
}

TEST(SkyPlot, ColoursNamesStatusAndHint) {
    EXPECT_EQ(satelliteColour(0), 0x7F0000u);
    EXPECT_EQ(satelliteColour(10), 0x8F7F00u);
    EXPECT_EQ(satelliteColour(36), 0x7FDF00u);
    EXPECT_EQ(satelliteColour(37), 0x00007Fu);
    EXPECT_EQ(satelliteColour(60), 0x00BFCFu);
    EXPECT_EQ(satelliteName(0), "G1");
    EXPECT_EQ(satelliteName(40), "R4");
    EXPECT_EQ(satelliteIndex(false, 38), -1);
    EXPECT_EQ(satelliteIndex(true, 24), 60);
    EXPECT_EQ(navigationStatusText(64), "Unknown status 64");
    EXPECT_EQ(navigationStatusText(21), "Reserved");
    EXPECT_EQ(navigationStatusText(31), "SV is not used in RTK processing");

    TSkyTracks tracks;
    tracks.setGeometry(TSkyGeometry::forSize(100, 100));
    TSatData gps;
    gps.entries = {{1, 0, 90, 0, 40, 1, 2, 3}, {2, 0, 88, 0, 41, 0, 0, 4}};
    tracks.apply(gps, nullptr);
    EXPECT_EQ(tracks.hitTest(52, 48, false), 0);
    EXPECT_EQ(tracks.hitTest(52, 48, true), 1);
    EXPECT_FALSE(tracks.hitTest(60, 50, false));
    auto hint = satelliteHint(tracks, 0);
    ASSERT_EQ(hint.size(), 8u); // no "FnLabel" for GPS
    EXPECT_EQ(hint[0], (std::pair<std::string, std::string>{"SnLabel", "G1"}));
    EXPECT_EQ(hint.back().second, "Ionosphere-free combination used for position computation");
}

TEST(SkyPlot, SignalBarsAndSwitches) {
    TSkyTracks tracks;
    tracks.setGeometry(TSkyGeometry::forSize(100, 100));
    TSatData gps, glo;
    for (int prn = 1; prn <= 22; ++prn)
        gps.entries.push_back({static_cast<std::uint8_t>(prn), 0, 30, 90, 45, 0, 0,
                               static_cast<std::uint8_t>(prn == 1   ? 10
                                                         : prn == 2 ? 13
                                                                    : 0)});
    glo.glonass = true;
    glo.entries = {{1, 1, 20, 10, 30, 0, 0, 0}, {2, 2, 20, 10, 30, 0, 0, 0}};
    tracks.apply(gps, nullptr);
    tracks.apply(glo, nullptr);
    TDops dops;
    dops.hdop = 1.25f;
    dops.pdop = 2;
    TSignalPanel panel = signalPanel(tracks, dops);
    EXPECT_EQ(panel.countLabel, "24=22+2");
    ASSERT_EQ(panel.bars.size(), 20u);
    EXPECT_EQ(panel.bars.back().name, "G20");
    EXPECT_TRUE(panel.bars[0].nameRed);
    EXPECT_FALSE(panel.bars[1].checked);
    EXPECT_EQ(panel.hdop, "1.250");
    EXPECT_EQ(barCoverBottom(60, 10, 70), 10);
    EXPECT_EQ(barCoverBottom(30, 10, 70), 40);
    EXPECT_EQ(barCoverBottom(0, 10, 70), 70);
    EXPECT_EQ(barCoverBottom(99, 10, 70), 10);
    EXPECT_EQ(satelliteSwitchCommand("G5", true), "%%set,/par/pos/gps/sat/5,on");
    EXPECT_EQ(satelliteSwitchCommand("R12", false), "%%set,/par/pos/glo/sat/12,off");

    auto labels =
        skyGridLabels(TSkyGeometry::forSize(200, 200), [](const std::string&) { return 12; });
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels[0].elevation, 80);
    for (std::size_t i = 1; i < labels.size(); ++i)
        EXPECT_GE(labels[i].right.x, labels[i - 1].right.x + 12);
}

TEST(ScatterPlot, PixelsCountsAndStatistics) {
    TScatterState s;
    s.setPixelSize(100, 100);
    EXPECT_EQ(s.toPixel(0, 0), (TPoint{50, 50}));
    EXPECT_EQ(s.toPixel(5, 0), (TPoint{0, 50})); // on the border: drawn
    EXPECT_EQ(s.toPixel(0, -2.5), (TPoint{50, 25}));
    EXPECT_FALSE(s.toPixel(6, 0));

    auto first = s.addPoint({1, 1, 0, fcStandalone});
    EXPECT_FALSE(first.previous);
    ASSERT_TRUE(first.newest);
    EXPECT_EQ(first.newest->colour, kNewestDotColour);
    TScatterSettings cfg;
    cfg.connect = true;
    s.setSettings(cfg);
    auto second = s.addPoint({3, 4, 1, fcFixed});
    ASSERT_TRUE(second.previous);
    EXPECT_EQ(second.previous->colour, kDefaultClassColours[fcStandalone]);
    ASSERT_TRUE(second.line);
    EXPECT_EQ(second.lineColour, kDefaultClassColours[fcFixed]);
    EXPECT_EQ(s.count(), 2u); // each point once
    EXPECT_DOUBLE_EQ(s.meanEast(), 2);
    EXPECT_DOUBLE_EQ(s.meanNorth(), 2.5);

    EXPECT_EQ(scatterMetres(1234.6), "1235 m");
    EXPECT_EQ(scatterMetres(150.26), "150.3 m");
    EXPECT_EQ(scatterMetres(-12.346), "-12.35 m");
    EXPECT_EQ(scatterMetres(1.5), "1.500 m");
    EXPECT_EQ(scatterTickDecimals(1), 0);
    EXPECT_EQ(scatterTickDecimals(0.5), 1);
    EXPECT_EQ(scatterTickDecimals(0.25), 2);
    EXPECT_EQ(scatterTickDecimals(0.125), 3);
    EXPECT_EQ(scatterTickDecimals(2.0001), 4);

    TPlotData data;
    for (int type : {1, 2, 3})
        feed(data, pg(0, 0, type));
    data.drain();
    auto stats = scatterStatistics(s, data);
    auto text = [&](const std::string& name) {
        for (const auto& [n, t] : stats)
            if (n == name)
                return t;
        return std::string("<missing>");
    };
    EXPECT_EQ(text("SALabel"), "33%");
    EXPECT_EQ(text("FXLabel"), "0%");
    EXPECT_EQ(text("TotalLabel"), "2");
    EXPECT_EQ(text("AvgNTTLabel"), "2.500 m");
    EXPECT_EQ(text("PosAltLabel"), "100.0000 m");

    // The newest dot goes back in its class colour where the current scale puts it.
    cfg.width = 20;
    s.setSettings(cfg);
    auto third = s.addPoint({0, 0, 2, fcFixed});
    ASSERT_TRUE(third.previous);
    EXPECT_EQ(third.previous->at, *s.toPixel(3, 4));
    s.setPixelSize(200, 200);
    auto fourth = s.addPoint({1, 0, 3, fcFixed});
    ASSERT_TRUE(fourth.previous);
    EXPECT_EQ(fourth.previous->at, (TPoint{100, 100}));
}

TEST(ScatterPlot, FitGridAndTargetToAverage) {
    TScatterState s;
    s.setPixelSize(100, 100);
    std::vector<TPositionEntry> h = {{1, -4, 0, fcStandalone}, {30, 0, 1, fcFixed}};
    TScatterSettings cfg;
    cfg.show = {true, false, false, false};
    s.setSettings(cfg);
    EXPECT_DOUBLE_EQ(fitWidth(s, h).value_or(0), 8.8);
    s.setPixelSize(200, 100);
    EXPECT_DOUBLE_EQ(fitWidth(s, h).value_or(0), 17.6);
    cfg.show = {false, false, false, false};
    s.setSettings(cfg);
    EXPECT_FALSE(fitWidth(s, h));
    for (const auto& e : h)
        EXPECT_FALSE(s.addPoint(e).newest); // nothing drawn
    EXPECT_EQ(s.count(), 0u);

    cfg = TScatterSettings{};
    s.setSettings(cfg);
    s.setPixelSize(100, 100);
    TScatterGrid grid = scatterGrid(s);
    EXPECT_EQ(grid.xs.size(), 10u); // -5..5 without the axis itself
    ASSERT_EQ(grid.xTicks.size(), 11u);
    EXPECT_EQ(grid.xTicks.front().text, "-5");
    EXPECT_EQ(grid.yTicks.front().pixel, 100); // -5 m is at the bottom
    cfg.step = 0.1;                            // 1 px apart: no lines, labels still
    s.setSettings(cfg);
    EXPECT_TRUE(scatterGrid(s).xs.empty());

    TTargetMove m = targetToAverage(0, 0, 0, kEarthRadius * 0.001);
    EXPECT_NEAR(m.lat, -0.001, 1e-12);
    EXPECT_NEAR(m.lon, 0, 1e-12);
}

TEST(PositionPlot, StripsScalesAndPieces) {
    TStripSettings cfg;
    auto colours = kDefaultClassColours;
    TStripPlot empty = computeStrips(cfg, 400, 216, {}, 1000, colours);
    EXPECT_EQ(empty.upper.scale, 0);
    ASSERT_EQ(empty.upper.scaleLabels.size(), 1u); // only "0"
    EXPECT_EQ(empty.upper.scaleLabels[0].text, "0.0");
    EXPECT_EQ(empty.upper.title, "Latitude");
    EXPECT_EQ(empty.lower.title, "Longtitude");
    EXPECT_EQ(empty.upper.area.height(), empty.lower.area.height());
    EXPECT_EQ(empty.timeLabels[0].text, "360");
    EXPECT_EQ(empty.timeLabels[1].text, "180");

    std::vector<TPositionEntry> h = {
        {0.5, 1.0, 990, fcFixed}, {0.5, -2.0, 991, fcFixed}, {0, 0, 995, fcFloat}, {9, 9, 100, 0}};
    TStripPlot p = computeStrips(cfg, 400, 216, h, 1000, colours);
    EXPECT_DOUBLE_EQ(p.upper.scale, 2); // the old fix is outside the span
    EXPECT_DOUBLE_EQ(p.lower.scale, 0.5);
    ASSERT_EQ(p.upper.pieces.size(), 3u);
    EXPECT_TRUE(p.upper.pieces[0].pixel);
    EXPECT_FALSE(p.upper.pieces[1].pixel); // one second later: joined
    EXPECT_TRUE(p.upper.pieces[2].pixel);
    EXPECT_EQ(p.upper.pieces[2].colour, colours[fcFloat]);
    EXPECT_EQ(p.upper.scaleLabels.size(), 9u); // 0 and +/-0.5 .. 2

    // Labels that get a column of their own and stand a label's height apart: on a small strip
    // every second step (+/-1, +/-2), none covering a track.
    TStripPlot roomy = computeStrips(cfg, 400, 216, h, 1000, colours, {40, 12});
    EXPECT_EQ(roomy.upper.area.right, p.upper.area.right - 40);
    EXPECT_EQ(roomy.upper.gridYs.size(), p.upper.gridYs.size());
    std::vector<std::string> texts;
    for (const auto& l : roomy.upper.scaleLabels)
        texts.push_back(l.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"0.0", "1.0", "-1.0", "2.0", "-2.0"}));
    for (std::size_t i = 1; i < roomy.upper.scaleLabels.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_GE(std::abs(roomy.upper.scaleLabels[i].pixel - roomy.upper.scaleLabels[j].pixel),
                      14);
    EXPECT_DOUBLE_EQ(stripScale(cfg, h.data(), h.data() + h.size(), 1000, true), 2);

    EXPECT_EQ(stripLabelDecimals(1), 0);
    EXPECT_EQ(stripLabelDecimals(0.5), 1);
    EXPECT_EQ(stripLabelDecimals(0.25), 2);
    EXPECT_EQ(stripLabelDecimals(0.01), 3);
    EXPECT_EQ(stripLabelDecimals(0.001), 4);

    // A fixed scale far below a value: the line is clipped to the strip, never computed as an
    // out-of-range pixel.
    cfg.maxY = 0.001;
    TStripPlot far = computeStrips(cfg, 400, 216, {{1e300, -1e300, 998, 0}, {1e300, 1e300, 999, 0}},
                                   1000, colours);
    ASSERT_EQ(far.upper.pieces.size(), 1u);
    EXPECT_EQ(far.upper.pieces[0].from.y, far.upper.area.bottom);
    EXPECT_EQ(far.upper.pieces[0].to.y, far.upper.area.top);
    TScatterState tiny;
    TScatterSettings narrow;
    narrow.width = 1e-300;
    tiny.setSettings(narrow);
    tiny.setPixelSize(100, 100);
    EXPECT_EQ(tiny.toPixel(0.5, 0)->x, -1000000);
}

TEST(ElevationMask, DialogInputsAndCommand) {
    EXPECT_EQ(maskFromEdit("-5"), 0);
    EXPECT_EQ(maskFromEdit("abc"), 0);
    EXPECT_EQ(maskFromEdit(" 15 "), 15);
    EXPECT_EQ(maskFromEdit("7.5"), 0);
    EXPECT_EQ(maskFromReply("10"), 10);
    EXPECT_EQ(maskFromReply("<unknown>"), 0);
    EXPECT_EQ(maskEditText(12), "12");
    EXPECT_FALSE(maskCommand(7, 7));
    EXPECT_EQ(maskCommand(7, 0).value_or(""), "%%set,/par/pos/elm,0");
}

namespace {
struct FakeSource : TPositionSource {
    bool open = true, monitor = false;
    int clears = 0;
    std::vector<std::string> sent;
    std::string reply;
    bool linkOpen() override { return open; }
    bool monitoring() override { return monitor; }
    void clearInput() override { ++clears; }
    void sendLine(const std::string& l) override { sent.push_back(l); }
    std::optional<TLatLon> awaitPosition(int timeoutMs) override {
        EXPECT_EQ(timeoutMs, 2000);
        return positionOfPg(u8p(reply), reply.size());
    }
};
} // namespace

TEST(TargetWindow, FieldsRoundTripAndReceiverQuery) {
    TTargetFields f;
    f.latD = "45";
    f.latM = "30";
    f.latS = "36";
    f.latHemisphere = 1;
    f.lonD = "x";
    f.lonM = "90";
    f.lonHemisphere = 1;
    TLatLon t = targetFromFields(f);
    EXPECT_NEAR(t.lat * 180 / kPi, -45.51, 1e-12);
    EXPECT_NEAR(t.lon * 180 / kPi, -1.5, 1e-12);
    TTargetFields back = targetFields(t.lat, t.lon);
    EXPECT_EQ(back.latD, "45");
    EXPECT_EQ(back.latM, "30");
    EXPECT_EQ(back.latS, "36.00000");
    EXPECT_EQ(back.latHemisphere, 1);
    EXPECT_EQ(back.lonD, "1");
    EXPECT_EQ(back.lonHemisphere, 1);

    FakeSource src;
    TQueryResult r = queryTargetFromReceiver(src);
    EXPECT_EQ(src.sent, (std::vector<std::string>{"out,,vxr/PG"}));
    EXPECT_FALSE(r.position);
    EXPECT_EQ(r.status, "Receiver didn't reply with position");
    src.monitor = true;
    src.reply = pg(0.5, -0.25, 1);
    r = queryTargetFromReceiver(src);
    EXPECT_EQ(src.clears, 1);
    EXPECT_EQ(src.sent.size(), 1u);
    ASSERT_TRUE(r.position);
    EXPECT_EQ(r.position->lat, 0.5);
    EXPECT_EQ(r.position->lon, -0.25);

    // Monitor mode reads the plot store, which sees every "PG".
    TPlotData data;
    feed(data, pg(0.1, 0.2, 1));
    auto fix = awaitNewFix(data, 0, 2000, {});
    ASSERT_TRUE(fix);
    EXPECT_EQ(fix->lon, 0.2);
    int pumps = 0;
    EXPECT_FALSE(awaitNewFix(data, 1, 30, [&] { ++pumps; }));
    EXPECT_GT(pumps, 0);
}

TEST(PlotPrefs, ApplyValidatesAndSettingsFallBack) {
    TPlotPrefsInput in = plotPrefsInput(TScatterSettings{}, TStripSettings{}, 3600);
    EXPECT_EQ(in.plotWidth, "10");
    EXPECT_EQ(in.deviationStep, "0.5");
    auto ok = validatePlotPrefs(in);
    ASSERT_TRUE(ok.prefs);
    struct Case {
        std::string TPlotPrefsInput::*field;
        const char* value;
        const char* error;
    };
    for (const Case& c :
         {Case{&TPlotPrefsInput::plotWidth, "0", "Invalid value for Plot width"},
          Case{&TPlotPrefsInput::tickInterval, "x", "Invalid value for Tick interval"},
          Case{&TPlotPrefsInput::maxDeviation, "-1", "Invalid value for Max. difference"},
          Case{&TPlotPrefsInput::deviationStep, "0", "Invalid value for Deviation step"}}) {
        TPlotPrefsInput bad = in;
        bad.*c.field = c.value;
        auto r = validatePlotPrefs(bad);
        EXPECT_FALSE(r.prefs);
        EXPECT_EQ(r.error, c.error);
    }
    in.timeInterval = "0";
    in.timeStep = "abc";
    auto r = validatePlotPrefs(in);
    ASSERT_TRUE(r.prefs);
    EXPECT_EQ(r.prefs->strips.maxX, 1);
    EXPECT_EQ(r.prefs->strips.gridX, 1);

    std::string ini = ::testing::TempDir() + "prefs_" + std::to_string(::getpid()) + ".ini";
    std::remove(ini.c_str());
    TProfile profile(ini);
    r.prefs->scatter.colours[fcFloat] = 0x123456;
    ASSERT_TRUE(savePlotPrefs(profile, *r.prefs));
    EXPECT_EQ(profile.read(keys::ScatterColorFL), "123456");
    EXPECT_EQ(loadScatterSettings(profile).colours[fcFloat], 0x123456u);
    EXPECT_EQ(loadStripSettings(profile).maxX, 360); // 1 or less reads as 360
    profile.write(keys::ScatterWidth, -1.0);
    profile.write(keys::ScatterStep, 0.0);
    profile.write(keys::ScatterColorSA, "zz");
    TScatterSettings s = loadScatterSettings(profile);
    EXPECT_EQ(s.width, 10);
    EXPECT_DOUBLE_EQ(s.step, 1);
    EXPECT_EQ(s.colours[fcStandalone], kDefaultClassColours[fcStandalone]);
    std::remove(ini.c_str());
}

namespace {

// Satellites wandering slowly over the sky, now and then gone or unplaced, GPS and GLONASS
// views in an uneven mix.
std::vector<TSatData> wanderingSky(int views, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dice(0, 99);
    struct TSat {
        int el, az;
    };
    std::vector<TSat> sats(61);
    for (auto& s : sats)
        s = {dice(rng) % 90, dice(rng) * 3};
    std::vector<TSatData> out;
    for (int v = 0; v < views; ++v) {
        TSatData d;
        d.glonass = dice(rng) < 30;
        d.time = static_cast<std::uint32_t>(v);
        for (int n = 1; n <= (d.glonass ? 24 : 37); ++n) {
            TSat& s = sats[static_cast<std::size_t>(satelliteIndex(d.glonass, n))];
            int roll = dice(rng);
            if (roll < 10)
                s.el = std::clamp(s.el + (roll % 2 ? 1 : -1), 0, 90);
            else if (roll < 20)
                s.az = (s.az + 1) % 360;
            if ((n * 7 + v / 40) % 11 == 0) // below the horizon for a while
                continue;
            TSatEntry e{static_cast<std::uint8_t>(n),
                        0,
                        static_cast<std::uint8_t>(s.el),
                        static_cast<std::uint16_t>(s.az),
                        static_cast<std::uint8_t>(30 + roll % 20),
                        0,
                        0,
                        0};
            if (roll == 99)
                e.elevation = e.azimuth = 0;
            d.entries.push_back(e);
        }
        out.push_back(d);
    }
    return out;
}

bool sameStroke(const TSkyTracks::TStroke& a, const TSkyTracks::TStroke& b) {
    return a.index == b.index && a.colour == b.colour && a.from == b.from && a.to == b.to &&
           a.pixel == b.pixel;
}

} // namespace

// A full redraw from the runs draws what the views drew one by one, also after the history
// let its oldest views go, and leaves the same markers and hint values.
TEST(SkyHistory, ReplayDrawsWhatTheViewsDrew) {
    const std::vector<TSatData> views = wanderingSky(5000, 7);
    for (int size : {60, 400}) {
        for (std::size_t capacity : {std::size_t{5000}, std::size_t{1237}, std::size_t{1}}) {
            SCOPED_TRACE(::testing::Message() << size << " px, " << capacity << " views kept");
            TSkyHistory history(capacity);
            for (const auto& v : views)
                history.append(v);
            ASSERT_EQ(history.size(), std::min(capacity, views.size()));

            TSkyTracks expected;
            expected.setGeometry(TSkyGeometry::forSize(size, size));
            std::vector<TSkyTracks::TStroke> want;
            for (std::size_t i = views.size() - history.size(); i < views.size(); ++i)
                expected.apply(views[i], &want);

            TSkyTracks tracks;
            tracks.setGeometry(TSkyGeometry::forSize(size, size));
            std::vector<TSkyTracks::TStroke> got;
            tracks.replay(history, [&](const TSkyTracks::TStroke& s) { got.push_back(s); });
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_TRUE(sameStroke(got[i], want[i])) << "stroke " << i;
            EXPECT_EQ(tracks.markers(), expected.markers());
            for (int i = 0; i < TSkyTracks::kIndices; ++i) {
                EXPECT_EQ(tracks.state(i).present, expected.state(i).present) << i;
                if (expected.state(i).present) {
                    EXPECT_EQ(satelliteHint(tracks, i), satelliteHint(expected, i)) << i;
                }
            }
        }
    }
}

TEST(SkyHistory, RunsMergeViewsAndForgetWhatWasLetGo) {
    TSkyHistory history(100);
    TSatData gps;
    gps.entries = {{5, 0, 40, 120, 40, 0, 0, 0}, {7, 0, 10, 300, 30, 0, 0, 0}};
    for (int i = 0; i < 80; ++i)
        history.append(gps);
    EXPECT_EQ(history.runCount(), 2u); // two satellites that did not move

    // A GLONASS stretch pushes the GPS views out one by one; the runs go with the last.
    TSatData glo;
    glo.glonass = true;
    glo.entries = {{3, 1, 50, 10, 35, 0, 0, 0}};
    for (int i = 0; i < 99; ++i)
        history.append(glo);
    EXPECT_EQ(history.runCount(), 3u);
    ASSERT_TRUE(history.latest(false));
    history.append(glo);
    EXPECT_EQ(history.runCount(), 1u);
    EXPECT_FALSE(history.latest(false)); // its markers went with its views
    ASSERT_TRUE(history.latest(true));

    history.clear();
    EXPECT_TRUE(history.empty());
    EXPECT_EQ(history.runCount(), 0u);
    EXPECT_FALSE(history.latest(true));
}
