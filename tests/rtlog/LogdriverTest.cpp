// The driver of a logging run against telvor-sim: the close and the settings it stores, the
// monitor list that follows the plot windows, and a receiver that goes away and comes back to
// a disk that no longer takes the series.
#include "rtlog/Logdriver.h"

#include "protocol/Commstate.h"
#include "settings/Settingskeys.h"
#include "support/Eventually.h"
#include "support/Simsession.h"

#include <algorithm>
#include <fstream>
#include <mutex>

namespace telvor::testing {
namespace {

class TDriverHost : public TLogDriverHost {
public:
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    bool confirm(const std::string&) override { return true; }
    std::string all() const {
        std::string text;
        for (const std::string& s : statuses)
            text += s + "\n";
        return text;
    }
    std::vector<std::string> statuses;
};

class LogDriver : public TSimSessionFixture {
protected:
    LogDriver() : TSimSessionFixture("telvor-logdriver") {}
    void TearDown() override {
        driver.reset();
        TSimSessionFixture::TearDown();
    }

    // A receiver whose every received line is kept (without the checksum the link adds), on
    // the pty `link` when given, so that a second receiver can take the first one's place.
    telvorsim::TSimOptions recorded() {
        telvorsim::TSimOptions o;
        o.verbose = true;
        o.log = [this](const std::string& line) {
            if (line.rfind("RX: ", 0) != 0)
                return;
            std::string text = line.substr(4);
            if (text.size() >= 3 && text[text.size() - 3] == '@')
                text.resize(text.size() - 3);
            std::lock_guard lock(linesLock);
            lines.push_back(text);
        };
        return o;
    }
    void startAt(const std::string& link) {
        sim = std::make_unique<telvorsim::TSimReceiver>(recorded());
        ASSERT_FALSE(sim->startPty(link).empty()) << sim->lastError();
        profile->write(keys::CommPort, link);
    }
    bool received(const std::string& part) {
        std::lock_guard lock(linesLock);
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    void makeDriver() {
        driver = std::make_unique<TLogDriver>(host, *profile);
        driver->setLink({[this] { return session->reconnectForLogging(2000); },
                         [this] { session->disconnect(); }, [this] { session->requestStop(); }});
    }
    // Steps as the window's timer does until `done`.
    bool stepUntil(const std::function<bool()>& done, int ms = 20000) {
        return eventually(
            [&] {
                driver->step();
                return done();
            },
            ms, [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); });
    }
    TStartRequest series(const std::filesystem::path& folder) {
        TStartRequest r;
        r.elevationMask = "10";
        r.options.multiple = true;
        r.options.folder = folder.string();
        r.options.prefix = "st";
        return r;
    }

    TDriverHost host;
    std::unique_ptr<TLogDriver> driver;
    std::mutex linesLock;
    std::vector<std::string> lines;
};

// The window's close and telvor-cli's end: the receiver silenced, the link idle, the edits
// stored by the one rule Start uses too.
TEST_F(LogDriver, TheCloseStoresTheEditsAndAPeriodThatIsNoNumberLeavesTheStoredOne) {
    ASSERT_NO_FATAL_FAILURE(connectPaused(recorded()));
    makeDriver();
    EXPECT_FALSE(driver->open().empty());
    EXPECT_TRUE(driver->timerOn());
    EXPECT_TRUE(driver->mayClose(false));
    profile->write(keys::RealTimeIntervalBetweenFiles, 5);
    profile->write(keys::RealTimeAutoRun, true);
    TStartRequest r = series(dir);
    r.period = "x";
    r.interval = "2";
    r.options.prefix = "pre";
    driver->close(r);
    EXPECT_FALSE(driver->timerOn());
    EXPECT_EQ(profile->read(keys::RealTimeIntervalBetweenFiles), 5);
    EXPECT_EQ(profile->read(keys::ReceiverRecordingIntervalTerm), "2");
    EXPECT_EQ(profile->read(keys::RealTimePrefix), "pre");
    EXPECT_EQ(profile->read(keys::RealTimeActiveMode), true);
    EXPECT_EQ(profile->read(keys::RealTimeAutoRun), false);
    EXPECT_EQ(commState().inputMode.load(), TInputMode::Idle);
    EXPECT_TRUE(eventually([&] { return received("%%dm||%%dm||%%dm"); }));
    r.period = "0";
    saveLogSettings(*profile, r);
    EXPECT_EQ(profile->read(keys::RealTimeIntervalBetweenFiles), 1);
}

TEST_F(LogDriver, ARunHoldsTheWindowOpenUnlessTheOutputPathPageShows) {
    ASSERT_NO_FATAL_FAILURE(connectPaused(recorded()));
    makeDriver();
    driver->open();
    ASSERT_TRUE(driver->start(series(dir))) << host.all();
    EXPECT_EQ(driver->state(), TLogState::Running);
    EXPECT_FALSE(driver->mayClose(false));
    EXPECT_TRUE(driver->mayClose(true));
    // A second Start while running is not one.
    EXPECT_FALSE(driver->start(series(dir)));
    driver->stop();
    EXPECT_EQ(driver->state(), TLogState::Idle);
    EXPECT_TRUE(driver->failure().empty());
    EXPECT_TRUE(driver->mayClose(false));
}

// The satellite views and positions are asked for only while a plot window shows them, and
// follow a window opened while the logging window is open.
TEST_F(LogDriver, TheMonitorListFollowsThePlotWindows) {
    ASSERT_NO_FATAL_FAILURE(connectPaused(recorded()));
    makeDriver();
    TLogPlots plots{true, false};
    driver->setPlots([&] { return plots; });
    driver->open();
    EXPECT_TRUE(eventually([&] { return received("/EE,/GS,/NS}"); }));
    EXPECT_FALSE(received("/SG,/PG"));
    plots.positions = true;
    driver->step();
    EXPECT_TRUE(eventually([&] { return received("/EE,/GS,/NS,/SG,/PG}"); }));
}

// A receiver that goes away during a series is searched for; when it is back and the disk no
// longer takes the series, the run ends with the reason instead of a silent idle window.
TEST_F(LogDriver, ARestartThatIsRefusedEndsTheRunWithItsText) {
    const std::string link = (dir / "rx").string();
    const std::filesystem::path out = dir / "out";
    std::filesystem::create_directories(out);
    ASSERT_NO_FATAL_FAILURE(startAt(link));
    ASSERT_TRUE(session->connect()) << session->lastError();
    ASSERT_EQ(session->pauseMonitoring(), "");
    makeDriver();
    driver->open();
    ASSERT_TRUE(driver->start(series(out))) << host.all();
    ASSERT_TRUE(stepUntil([&] { return driver->log().bytesWritten() > 0; }));

    sim->stop();
    ASSERT_TRUE(stepUntil([&] { return driver->state() == TLogState::Searching; }));
    EXPECT_NE(host.all().find("Link lost: "), std::string::npos) << host.all();
    EXPECT_NE(host.all().find(": reconnecting"), std::string::npos) << host.all();
    EXPECT_GT(std::filesystem::file_size(out / "st0000.vxr"), 0u);
    // The folder is gone, a file of its name in its place.
    std::filesystem::remove_all(out);
    std::ofstream(out) << "not a folder";
    ASSERT_NO_FATAL_FAILURE(startAt(link));
    ASSERT_TRUE(stepUntil([&] { return driver->state() == TLogState::Idle; }, 30000)) << host.all();
    EXPECT_EQ(driver->failure().rfind("Can't open file: ", 0), 0u) << driver->failure();
}

} // namespace
} // namespace telvor::testing
