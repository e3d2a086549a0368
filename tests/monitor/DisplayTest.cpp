#include "monitor/Displaytick.h"
#include "monitor/Monitor.h"
#include "monitor/Numformat.h"
#include "monitor/Satsort.h"
#include "protocol/Logfile.h"
#include "settings/Profile.h"
#include "support/Messagemaker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace telvor;
using namespace telvor::testing;

namespace {

struct FakeHost : TMonitorHost {
    bool link = true, direct = true, beepOn = false, timer = false;
    std::uint32_t silence = 0;
    int reconnects = 0, disconnects = 0, beeps = 0;
    std::vector<std::string> debug;
    std::string lost;

    bool hasLink() override { return link; }
    std::string linkLost() override { return lost; }
    bool directConnection() override { return direct; }
    std::uint32_t silenceMs() override { return silence; }
    void reconnect() override { ++reconnects; }
    void disconnect() override {
        ++disconnects;
        link = false;
    }
    bool beepOnDisconnect() override { return beepOn; }
    void beep() override { ++beeps; }
    void debugLine(const std::string& text) override { debug.push_back(text); }
    void setTimerEnabled(bool on) override { timer = on; }
};

// Slots filled the way the input thread fills the program's table.
struct FakeSlots : TSlotSource {
    TLatestMessages table;
    int takes = 0;
    void put(const std::string& m) { ASSERT_TRUE(table.Store(u8p(m), m.size())); }
    void takeSlots(TSlotCopies& out) override {
        ++takes;
        for (int row = 0; row < TLatestMessages::kRows; ++row) {
            auto& s = out.rows[static_cast<std::size_t>(row)];
            s.length = table.Length(row);
            std::memcpy(s.bytes.data(), table.Slot(row), s.length);
            table.ClearRow(row);
        }
    }
};

class Display : public ::testing::Test {
protected:
    TMonitorView view;
    TTargetPoint target;
    TMonitorDecoder dec{view, target};
    FakeHost host;
    FakeSlots slotSource;
    TMonitorDisplay display{dec, host, slotSource};
};

std::string readFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace

TEST_F(Display, SilenceWatchdogReconnectsThenDisconnects) {
    host.silence = 9999;
    EXPECT_EQ(display.tick(true), TMonitorDisplay::TTick::Done);
    EXPECT_EQ(host.reconnects, 0);
    host.silence = 10000;
    display.tick(true);
    EXPECT_EQ(host.reconnects, 1);
    host.silence = 19999;
    display.tick(true);
    EXPECT_EQ(host.reconnects, 2);
    EXPECT_EQ(host.disconnects, 0);
    EXPECT_TRUE(host.timer);

    view.show("TimeLabel", "12:00:05");
    host.silence = 20000;
    host.beepOn = true;
    EXPECT_EQ(display.tick(true), TMonitorDisplay::TTick::Disconnected);
    EXPECT_EQ(host.disconnects, 1);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(host.debug, (std::vector<std::string>{"Pause 20000 at 12:00:05"}));
    EXPECT_EQ(display.tick(true), TMonitorDisplay::TTick::NoLink);
    EXPECT_FALSE(host.timer);
}

TEST_F(Display, WatchdogOnlyOnDirectConnections) {
    host.direct = false;
    host.silence = 60000;
    EXPECT_EQ(display.tick(true), TMonitorDisplay::TTick::Done);
    EXPECT_EQ(host.reconnects + host.disconnects, 0);
}

// A link that reports its own loss ends the session at once, in any mode, without the beep of
// the silence watchdog.
TEST_F(Display, LostLinkDisconnectsAtOnce) {
    host.direct = false;
    host.lost = "Device removed";
    EXPECT_EQ(display.tick(true), TMonitorDisplay::TTick::Disconnected);
    EXPECT_EQ(host.disconnects, 1);
    EXPECT_EQ(host.reconnects, 0);
    EXPECT_EQ(host.debug, (std::vector<std::string>{"Link lost: Device removed"}));
    EXPECT_FALSE(host.timer);
}

TEST_F(Display, ChecksumGateDecodesGoodSlotsInTableOrder) {
    std::string logPath =
        ::testing::TempDir() + "monitor_display_" + std::to_string(::getpid()) + ".log";
    std::remove(logPath.c_str());
    ASSERT_TRUE(openCommLog(logPath));

    slotSource.put(makeMessage("SI", bytesOf({3, 1})));
    slotSource.put(makeMessage("EL", bytesOf({10, 50})));
    std::string bad = makeMessage("TT", TPack().put<std::uint32_t>(5).str());
    bad[6] ^= 1;
    slotSource.put(bad);
    slotSource.put(makeMessage("MS", ",RTCMST,001,0012,0034,095.00,@")); // exempt from the re-check
    display.tick(false);
    closeCommLog();

    EXPECT_FALSE(host.timer); // no sender: the timer stays off
    EXPECT_EQ(display.stats().decoded, 3u);
    EXPECT_EQ(display.stats().badChecksum, 1u);
    EXPECT_FALSE(view.visible("TrackingTimeLabel"));
    EXPECT_TRUE(view.visible("RTKLinkLabel"));
    // Sorted by the caption after the tick.
    ASSERT_EQ(view.gps().rows.size(), 2u);
    EXPECT_EQ(view.gps().rows[0].cells[0], "01*");
    EXPECT_EQ(view.gps().rows[0].cells[1], "50");

    std::string log = readFile(logPath);
    std::remove(logPath.c_str());
    EXPECT_NE(log.find("Enter monitor\nDSP:SI"), std::string::npos) << log;
    EXPECT_NE(log.find("Bad checksum\n"), std::string::npos);
    EXPECT_LT(log.find("DSP:SI"), log.find("DSP:EL")); // table order
    EXPECT_NE(log.find("OK\nLeave monitor\n"), std::string::npos);

    // Consumed: the next tick decodes nothing, yet still sorts.
    view.gps().rows[0].cells[0] = "99";
    display.tick(true);
    EXPECT_EQ(display.stats().decoded, 3u);
    EXPECT_EQ(view.gps().rows[1].cells[0], "99");
}

TEST_F(Display, ColumnClicksToggleThenKeepDirection) {
    EXPECT_EQ(sortKeyAfterClick(1, 1), 2);   // "EL": ascending
    EXPECT_EQ(sortKeyAfterClick(2, 1), -2);  // again: descending
    EXPECT_EQ(sortKeyAfterClick(-2, 2), -3); // "AZ" keeps descending
    EXPECT_EQ(sortKeyAfterClick(-3, 2), 3);
    EXPECT_EQ(sortKeyAfterClick(3, 0), 1);

    slotSource.put(makeMessage("SI", bytesOf({1, 2, 3})));
    slotSource.put(makeMessage("EL", bytesOf({40, 5, 127})));
    display.tick(true);
    auto els = [&] {
        std::vector<std::string> out;
        for (const auto& r : view.gps().rows)
            out.push_back(r.cells[1]);
        return out;
    };
    display.columnClick(false, 1);
    EXPECT_EQ(els(), (std::vector<std::string>{"??", "5", "40"}));
    display.columnClick(false, 1);
    EXPECT_EQ(els(), (std::vector<std::string>{"40", "5", "??"}));
    // Rows keep their satellites through sorting: a later "EL" still finds them.
    slotSource.put(makeMessage("EL", bytesOf({41, 6, 7})));
    display.tick(true);
    EXPECT_EQ(els(), (std::vector<std::string>{"41", "7", "6"}));
    EXPECT_EQ(view.gps().rows[0].cells[0], "01*");
}

TEST(SatSort, ColumnReadings) {
    EXPECT_EQ(trackingSortValue("5"), 300);
    EXPECT_EQ(trackingSortValue(":59"), 59);
    EXPECT_GT(trackingSortValue("inf"), trackingSortValue("1092"));
    EXPECT_EQ(trackingSortValue(""), -1000);
    EXPECT_EQ(elevationSortValue("45^"), 45);
    EXPECT_EQ(elevationSortValue("-5--"), -5);
    EXPECT_EQ(elevationSortValue("12  "), 12);
    EXPECT_EQ(elevationSortValue("??"), -1000);
    EXPECT_EQ(numericSortValue("abc"), -1000);

    // Main GPS list (8 columns): "SS" and the caption compare as text, "TC" by time.
    std::vector<std::string> a{"10", "5", "", "", "", "", ":30", "04-"};
    std::vector<std::string> b{"9*", "40^", "", "", "", "", "2", "55+"};
    EXPECT_LT(compareSatRows(a, b, 8, 8), 0);
    EXPECT_LT(compareSatRows(a, b, 7, 8), 0);
    EXPECT_GT(compareSatRows(a, b, -7, 8), 0);
    EXPECT_LT(compareSatRows(a, b, 2, 8), 0);
    EXPECT_LT(compareSatRows(a, b, 1, 8), 0); // "10" before "9*" as text
    // Logging GPS list (7 columns): the caption column reads as a number without marks.
    EXPECT_GT(compareSatRows(a, b, 1, 7), 0);
}

TEST_F(Display, LoggingListsSortByFirstColumnAndLeavingMonitorResets) {
    TMonitorView logging(TViewKind::Logging);
    dec.setLoggingView(&logging);
    view.gps().sortKey = -2;
    slotSource.put(makeMessage("SI", bytesOf({12, 3, 7})));
    display.tick(true);
    std::vector<std::string> captions;
    for (const auto& r : logging.gps().rows)
        captions.push_back(r.cells[0]);
    EXPECT_EQ(captions, (std::vector<std::string>{"03*", "07*", "12*"}));

    dec.setLoggingView(nullptr);
    slotSource.put(makeMessage("~~", TPack().put<std::uint32_t>(5000).str()));
    display.tick(true);
    EXPECT_TRUE(view.visible("TimeLabel"));
    display.inputModeChanged(3, 2);
    EXPECT_FALSE(view.visible("TimeLabel"));
    display.inputModeChanged(-1, 3);
}

TEST(Monitor, TargetChangesRebaseStoreAndPersist) {
    std::string ini = ::testing::TempDir() + "monitor_" + std::to_string(::getpid()) + ".ini";
    std::remove(ini.c_str());
    TProfile profile(ini);
    profile.write(keys::TargetPositionLat, 0.25);
    FakeHost host;
    FakeSlots slotSource;
    TMonitor monitor(host, slotSource, &profile);
    monitor.loadTarget();
    EXPECT_EQ(monitor.target().lat, 0.25);
    int redraws = 0;
    monitor.setOnTargetChanged([&] { ++redraws; });

    auto pg = [](double lat, double lon) {
        return makeMessage("PG", TPack().put(lat).put(lon).put(1.0).put(0.f).u8(1).str());
    };
    std::string fix = pg(0.25, 0);
    monitor.plotData().feed(u8p(fix), fix.size());
    monitor.plotData().drain();
    EXPECT_NEAR(monitor.plotData().positionHistory()[0].north, 0, 1e-9);

    monitor.decoder().armTargetCapture();
    slotSource.put(pg(0.25 + 1.0 / kEarthRadius, 0));
    monitor.display().tick(true);
    EXPECT_EQ(redraws, 1);
    EXPECT_DOUBLE_EQ(profile.read(keys::TargetPositionLat), 0.25 + 1.0 / kEarthRadius);
    EXPECT_NEAR(monitor.plotData().positionHistory()[0].north, 1, 1e-6);

    std::string json = monitorViewJson(monitor.view());
    EXPECT_NE(json.find("\"PosTypeLabel\":\"(standalone)\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"GPSCountLabel\":\"GPS Satellites\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"GPSList\":[],\"GLOList\":[]}"), std::string::npos) << json;
    EXPECT_EQ(json.find("TimeLabel"), std::string::npos); // hidden labels are left out

    // Leaving monitoring hides the read-outs before the plot windows hear the mode.
    std::vector<TInputMode> heard;
    monitor.setOnInputModeChanged([&](TInputMode m) {
        heard.push_back(m);
        EXPECT_EQ(monitor.view().visible("PosTypeLabel"), m == TInputMode::Monitoring);
    });
    monitor.plotData().InputModeChanged(TInputMode::Monitoring);
    EXPECT_TRUE(monitor.view().visible("PosTypeLabel"));
    monitor.plotData().InputModeChanged(TInputMode::Idle);
    EXPECT_EQ(heard, (std::vector<TInputMode>{TInputMode::Monitoring, TInputMode::Idle}));
    std::remove(ini.c_str());
}
// With no target ever stored, the first fix becomes the target (the offsets start near 0, not
// at the distance to 0 N 0 E); until then closing stores nothing.
TEST(Monitor, TheFirstFixIsTheTargetWhenNoneWasEverStored) {
    std::string ini = ::testing::TempDir() + "monitor_first_" + std::to_string(::getpid()) + ".ini";
    std::remove(ini.c_str());
    TProfile profile(ini);
    FakeHost host;
    FakeSlots slotSource;
    {
        TMonitor monitor(host, slotSource, &profile);
        monitor.loadTarget();
        EXPECT_TRUE(monitor.target().capture);
        monitor.saveTarget();
        EXPECT_EQ(profile.readString("TargetPosition", "Lat", "none"), "none");
        std::string fix =
            makeMessage("PG", TPack().put(0.87).put(0.25).put(1.0).put(0.f).u8(1).str());
        monitor.plotData().feed(u8p(fix), fix.size());
        slotSource.put(fix);
        monitor.display().tick(true);
        monitor.plotData().drain();
        EXPECT_FALSE(monitor.target().capture);
        EXPECT_DOUBLE_EQ(profile.read(keys::TargetPositionLat), 0.87);
        EXPECT_DOUBLE_EQ(profile.read(keys::TargetPositionLon), 0.25);
        ASSERT_EQ(monitor.plotData().positionHistory().size(), 1u);
        EXPECT_NEAR(monitor.plotData().positionHistory()[0].east, 0, 1e-6);
    }
    // Stored now, even at 0 N 0 E: a later start keeps it.
    profile.write(keys::TargetPositionLat, 0.0);
    profile.write(keys::TargetPositionLon, 0.0);
    TMonitor next(host, slotSource, &profile);
    next.loadTarget();
    EXPECT_FALSE(next.target().capture);
    std::remove(ini.c_str());
}

// Texts go into the JSON escaped: quotes, backslashes, line ends and other control bytes, with
// plain runs around them kept whole.
TEST(MonitorJson, CellTextsAreEscaped) {
    TMonitorView view;
    view.gps().rows.emplace_back(
        0,
        std::vector<std::string>{"a\"b\\c\nd\re\tf" + std::string(1, '\x01') + "g", "", "plain"});
    const std::string json = monitorViewJson(view);
    EXPECT_NE(json.find(R"("GPSList":[["a\"b\\c\nd\re\tf\u0001g","","plain"]])"), std::string::npos)
        << json;
}
