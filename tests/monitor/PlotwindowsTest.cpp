#include "monitor/Elevationmaskform.h"
#include "monitor/Monitor.h"
#include "monitor/Numformat.h"
#include "monitor/Plotprefsform.h"
#include "monitor/Plotswindow.h"
#include "monitor/Positionplotform.h"
#include "monitor/Rasterform.h"
#include "monitor/Scatterplotform.h"
#include "monitor/Thinning.h"
#include "rtlog/Targetpositionform.h"
#include "settings/Profile.h"
#include "support/Eventually.h"
#include "support/Messagemaker.h"
#include "support/Simfeed.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <thread>
#include <unistd.h>

using namespace telvor;
using namespace telvor::testing;

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_plotwindows";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

using FakeHost = TQuietMonitorHost;

struct NoSlots : TSlotSource {
    void takeSlots(TSlotCopies&) override {}
};

struct Sent {
    std::string line;
    int timeout;
};

std::string pg(double lat, double lon, int type, double height = 100) {
    return makeMessage(
        "PG",
        TPack().put(lat).put(lon).put(height).put(0.f).u8(static_cast<std::uint8_t>(type)).str());
}

// Radians of a position `east` and `north` metres from the origin.
double latOf(double north) {
    return north / kEarthRadius;
}
double lonOf(double east) {
    return east / kEarthRadius;
}

class PlotWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ini_ = ::testing::TempDir() + "plotwindows_" + std::to_string(::getpid()) + ".ini";
        std::remove(ini_.c_str());
        profile_ = std::make_unique<TProfile>(ini_);
        monitor_ = std::make_unique<TMonitor>(host_, slots_, profile_.get());
    }
    void TearDown() override {
        plots_.reset();
        std::remove(ini_.c_str());
    }

    void makePlots() {
        plots_ = std::make_unique<TPlotWindows>(
            *monitor_, profile_.get(),
            [this](const std::string& line, int timeout) {
                sent_.push_back({line, timeout});
                return reply_;
            },
            nullptr);
    }
    void feed(const std::string& m) { monitor_->plotData().feed(u8p(m), m.size()); }
    template <class T = QLabel> T* find(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(name);
        EXPECT_TRUE(c) << name;
        return c;
    }
    std::string text(QWidget* w, const char* name) {
        auto* l = find(w, name);
        return l ? l->text().toStdString() : "<missing>";
    }
    static void settle() { QApplication::processEvents(); }

    std::string ini_;
    std::unique_ptr<TProfile> profile_;
    FakeHost host_;
    NoSlots slots_;
    std::unique_ptr<TMonitor> monitor_;
    std::unique_ptr<TPlotWindows> plots_;
    std::vector<Sent> sent_;
    TReply reply_ = TReply::RE;
};

// Runs `act` on the modal dialog as soon as it is up.
void onModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_TRUE(w);
        act(w);
    });
}

} // namespace

TEST_F(PlotWindows, SkyPlotBarsSwitchesAndHint) {
    makePlots();
    TSatellitesPlotForm* form = plots_->satellites();
    form->resize(480, 600);
    form->show();
    settle();

    feed(makeMessage("GS", ",GPSVST,3,G05,90,0,C42,40,38,00,G12,30,90,C30,20,10,13,"
                           "G20,0,0,C10,0,0,06,@"));
    feed(makeMessage("NS", ",GLSVST,1,R03,-4,45,180,C35,30,25,00,@"));
    feed(makeMessage("DP", TPack().put(3.f).put(4.f).put(12.f).str()));
    plots_->refresh();

    EXPECT_EQ(text(form, "CountLabel"), "4=3+1");
    EXPECT_EQ(text(form, "GDOPLabel"), "13.000");
    EXPECT_EQ(text(form, "PDOPLabel"), "5.000");
    EXPECT_EQ(text(form, "SatName1"), "G5");
    EXPECT_EQ(text(form, "SatCA2"), "30");
    EXPECT_EQ(text(form, "SatName4"), "R3");
    EXPECT_FALSE(find<QWidget>(form, "SatSlot5")->isVisibleTo(form));
    EXPECT_TRUE(find<QCheckBox>(form, "SatCheck1")->isChecked());
    EXPECT_FALSE(find<QCheckBox>(form, "SatCheck2")->isChecked()); // status 13: user excluded
    EXPECT_EQ(find(form, "SatName3")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(find(form, "SatColor2")->toolTip().toStdString(),
              "This SV is excluded from position computation by the user");

    // Elevation 90 lies at the centre of the image, in the satellite's colour.
    TSatellitesPlot* sky = form->skyPlot();
    const QImage& image = sky->bitmap();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), rgbOf(satelliteColour(4)));
    // A resize replays the history: still there.
    form->resize(400, 560);
    settle();
    EXPECT_EQ(sky->bitmap().pixel(sky->width() / 2, sky->height() / 2), rgbOf(satelliteColour(4)));

    // Switches only in monitor mode; the mode comes through the monitor's hook.
    auto* check1 = find<QCheckBox>(form, "SatCheck1");
    auto* mask = find<QPushButton>(form, "ElevationMaskButton");
    EXPECT_FALSE(check1->isEnabled());
    EXPECT_FALSE(mask->isEnabled());
    monitor_->plotData().InputModeChanged(TInputMode::Monitoring);
    EXPECT_TRUE(check1->isEnabled());
    EXPECT_TRUE(mask->isEnabled());
    check1->click();
    find<QCheckBox>(form, "SatCheck2")->click();
    find<QCheckBox>(form, "SatCheck4")->click();
    ASSERT_EQ(sent_.size(), 3u);
    EXPECT_EQ(sent_[0].line, "%%set,/par/pos/gps/sat/5,off");
    EXPECT_EQ(sent_[0].timeout, 2000);
    EXPECT_EQ(sent_[1].line, "%%set,/par/pos/gps/sat/12,on");
    EXPECT_EQ(sent_[2].line, "%%set,/par/pos/glo/sat/3,off");
    // Refreshing the bars sets the boxes without sending anything.
    plots_->refresh();
    form->refreshBars();
    EXPECT_EQ(sent_.size(), 3u);

    // The hint: a press on the marker at the centre, hidden again on release.
    QPoint centre(sky->width() / 2 + 2, sky->height() / 2 - 1);
    QMouseEvent press(QEvent::MouseButtonPress, centre, sky->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(sky, &press);
    TSatelliteHintForm* hint = sky->hint();
    ASSERT_TRUE(hint->isVisible());
    EXPECT_EQ(text(hint, "SnLabel"), "G5");
    EXPECT_EQ(text(hint, "ELLabel"), "90");
    EXPECT_FALSE(find(hint, "FnLabel")->isVisibleTo(hint));
    QMouseEvent release(QEvent::MouseButtonRelease, centre, sky->mapToGlobal(centre),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(sky, &release);
    EXPECT_FALSE(hint->isVisible());

    // An empty GPS view removes the GPS satellites; "Clear data" empties the history.
    feed(makeMessage("GS", ",GPSVST,0,@"));
    plots_->refresh();
    EXPECT_EQ(text(form, "CountLabel"), "1=0+1");
    find<QPushButton>(form, "ClearButton")->click();
    EXPECT_EQ(text(form, "CountLabel"), "0=0+0");
    EXPECT_TRUE(monitor_->plotData().satelliteHistory().empty());
    EXPECT_NE(sky->bitmap().pixel(sky->width() / 2 + 20, sky->height() / 2 + 20),
              rgbOf(satelliteColour(4)));

    plots_->setTitleSuffix(" M1 ID:42 (rover) ");
    EXPECT_EQ(form->windowTitle().toStdString(), "Satellites M1 ID:42 (rover) ");
    EXPECT_EQ(plots_->scatter()->windowTitle().toStdString(), "Scatter M1 ID:42 (rover) ");
}

// The tracks drawn view by view as they arrive and those of a full redraw from the history
// are the same image.
TEST_F(PlotWindows, SkyRedrawShowsWhatArrivingViewsDrew) {
    TSimFeed sim;
    TPlotData data(2 * TPlotData::kMinCapacity, sim.clock());
    TSatellitesPlotForm form(data, nullptr, {});
    form.resize(420, 560);
    form.show();
    settle();
    TSatellitesPlot* sky = form.skyPlot();
    for (int s = 0; s < 3 * 3600; s += 6) {
        sim.feed(s, {"GS", "NS"}, {&data});
        form.addViews(data.drain().views);
    }
    ASSERT_LT(data.satelliteHistory().size(), data.satelliteHistory().capacity());
    const QImage live = sky->bitmap().copy();
    sky->redraw();
    EXPECT_TRUE(sky->bitmap() == live);
    EXPECT_NE(text(&form, "CountLabel"), "0=0+0");
}

TEST_F(PlotWindows, ElevationMaskDialogSendsOnlyChanges) {
    {
        TElevationMaskForm dialog(12);
        EXPECT_EQ(find<QLineEdit>(&dialog, "ElmPosEdit")->text().toStdString(), "12");
        find<QLineEdit>(&dialog, "ElmPosEdit")->setText("abc");
        find<QPushButton>(&dialog, "OKButton")->click();
        EXPECT_EQ(dialog.mask(), 0);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    makePlots();
    TSatellitesPlotForm* form = plots_->satellites();
    plots_->inputModeChanged(TInputMode::Monitoring);
    plots_->setElevationMask(10);
    auto type = [](const char* value, const char* button) {
        onModal([=](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("ElmPosEdit")->setText(value);
            dialog->findChild<QPushButton*>(button)->click();
        });
    };

    type("-5", "OKButton");
    form->elevationMaskClick();
    EXPECT_EQ(monitor_->plotData().elevationMask(), 0);
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0].line, "%%set,/par/pos/elm,0");
    EXPECT_EQ(sent_[0].timeout, 2000);

    type("0", "OKButton"); // unchanged: nothing sent
    form->elevationMaskClick();
    type("25", "CancelButton");
    form->elevationMaskClick();
    EXPECT_EQ(sent_.size(), 1u);
    EXPECT_EQ(monitor_->plotData().elevationMask(), 0);

    // The receiver refuses: the plot keeps showing the receiver's mask.
    reply_ = TReply::ER;
    type("95", "OKButton");
    form->elevationMaskClick();
    ASSERT_EQ(sent_.size(), 2u);
    EXPECT_EQ(sent_[1].line, "%%set,/par/pos/elm,95");
    EXPECT_EQ(monitor_->plotData().elevationMask(), 0);

    // Not in monitor mode: the button does nothing.
    plots_->inputModeChanged(TInputMode::Idle);
    form->elevationMaskClick();
    EXPECT_EQ(sent_.size(), 2u);
}

TEST_F(PlotWindows, ScatterStatisticsFitAverageAndClasses) {
    makePlots();
    TScatterPlotForm* form = plots_->scatter();
    form->resize(640, 460);
    form->show();
    settle();
    // Target at the origin; fixes 2 m and 4 m west of it (offsets point to the target: east).
    feed(pg(0, lonOf(-2), 1));
    feed(pg(0, lonOf(-4), 4));
    feed(pg(latOf(-3), lonOf(-3), 4));
    feed(makeMessage("SG", TPack().put(3.f).put(4.f).put(0.5f).put(1.5f).str()));
    plots_->refresh();

    EXPECT_EQ(text(form, "TotalLabel"), "3");
    EXPECT_EQ(text(form, "SALabel"), "33%");
    EXPECT_EQ(text(form, "FXLabel"), "66%");
    EXPECT_EQ(text(form, "CDLabel"), "0%");
    EXPECT_EQ(text(form, "MaxETTLabel"), "4.000 m");
    EXPECT_EQ(text(form, "MaxNTTLabel"), "3.000 m");
    EXPECT_EQ(text(form, "AvgETTLabel"), "3.000 m");
    EXPECT_EQ(text(form, "AvgNTTLabel"), "1.000 m");
    EXPECT_EQ(text(form, "PosAltLabel"), "100.0000 m");
    EXPECT_EQ(text(form, "RMSPosLabel"), "5.0000 m");
    EXPECT_EQ(text(form, "RMSvvelLabel"), "1.5000 m");

    // The newest point is red, the earlier ones in their class colours.
    TScatterPlot* plot = form->scatterPlot();
    auto at = [&](double east, double north) {
        auto p = plot->state().toPixel(east, north);
        EXPECT_TRUE(p);
        return plot->bitmap().pixel(p->x, p->y);
    };
    EXPECT_EQ(at(3, 3), rgbOf(kNewestDotColour));
    EXPECT_EQ(at(4, 0), rgbOf(kDefaultClassColours[fcFixed]));
    EXPECT_EQ(at(2, 0), rgbOf(kDefaultClassColours[fcStandalone]));

    // Switching the fixed class off redraws without it and remembers the switch.
    find<QCheckBox>(form, "FXCheckBox")->click();
    EXPECT_EQ(text(form, "TotalLabel"), "1");
    EXPECT_FALSE(profile_->read(keys::ScatterFX));
    EXPECT_NE(at(4, 0), rgbOf(kDefaultClassColours[fcFixed]));
    // Fit takes the shown classes only: 2 m gives a width of 4.4 m on a wide plot's height.
    find<QPushButton>(form, "FitButton")->click();
    const double w = plot->state().pixelWidth(), h = plot->state().pixelHeight();
    const double fitted = h >= w ? 4.4 : std::round(w * 4.4 / h * 1e4) / 1e4;
    EXPECT_NEAR(profile_->read(keys::ScatterWidth), fitted, 1e-9);
    find<QCheckBox>(form, "FXCheckBox")->click();

    // Target to average: the mean offset becomes zero and the history is re-based.
    find<QPushButton>(form, "AverageButton")->click();
    EXPECT_EQ(text(form, "AvgETTLabel"), "0.000 m");
    EXPECT_EQ(text(form, "AvgNTTLabel"), "0.000 m");
    EXPECT_NEAR(monitor_->target().lon, lonOf(-3), 1e-12);
    EXPECT_NEAR(profile_->read(keys::TargetPositionLat), latOf(-1), 1e-12);
    EXPECT_NEAR(monitor_->plotData().maxAbsEast(), 1, 1e-6);

    find<QPushButton>(form, "ClearButton")->click();
    EXPECT_EQ(text(form, "TotalLabel"), "0");
    EXPECT_EQ(text(form, "SALabel"), "0%");
}

// A full redraw counts the fixes the history still holds; redraws of the same history (a
// resize) keep that count and the means, and a class switch or new fixes count again.
TEST_F(PlotWindows, ScatterRedrawCountsTheHistoryAndKeepsItUntilItChanges) {
    makePlots();
    monitor_->plotData().resize(27);
    TScatterPlotForm* form = plots_->scatter();
    form->resize(640, 460);
    form->show();
    settle();
    for (int i = 0; i < 30; ++i)
        feed(pg(0, lonOf(-(i % 5 + 1)), i % 3 == 0 ? 4 : 1));
    plots_->refresh();
    EXPECT_EQ(text(form, "TotalLabel"), "30"); // drawn as they came, the first three included

    auto meanOf = [](bool withFixed) {
        double mean = 0;
        int n = 0;
        for (int i = 3; i < 30; ++i)
            if (withFixed || i % 3 != 0) {
                ++n;
                mean = ((n - 1) * mean + (i % 5 + 1)) / n;
            }
        return scatterMetres(mean);
    };
    form->redrawPlot();
    EXPECT_EQ(text(form, "TotalLabel"), "27");
    EXPECT_EQ(text(form, "AvgETTLabel"), meanOf(true));
    form->resize(700, 500);
    settle();
    form->refreshStatistics();
    EXPECT_EQ(text(form, "TotalLabel"), "27");
    EXPECT_EQ(text(form, "AvgETTLabel"), meanOf(true));

    find<QCheckBox>(form, "FXCheckBox")->click();
    EXPECT_EQ(text(form, "TotalLabel"), "18");
    EXPECT_EQ(text(form, "AvgETTLabel"), meanOf(false));
    find<QCheckBox>(form, "FXCheckBox")->click();
    EXPECT_EQ(text(form, "TotalLabel"), "27");
    EXPECT_EQ(text(form, "AvgETTLabel"), meanOf(true));

    // One more fix: drawn on top, then a redraw holds the 27 newest again.
    feed(pg(0, lonOf(-10), 1));
    plots_->refresh();
    EXPECT_EQ(text(form, "TotalLabel"), "28");
    form->redrawPlot();
    EXPECT_EQ(text(form, "TotalLabel"), "27");
}

namespace {

// A plot that counts its redraws and the sizes it drew at.
struct CountingPlot : TBasicPlot {
    int draws = 0;
    QSize drawnAt;
    void drawBackground() override {
        ++draws;
        drawnAt = bitmap_.size();
    }
};

} // namespace

// A plot that redraws fast follows every resize step; a slow one shows its stretched image
// while the steps come and is redrawn once at the final size when they stop.
// With points connected, the fixes drawn one by one as they arrive and a full redraw of the
// history give the same image: fixes on one pixel, class changes, fixes off the plot and a
// switched-off class included.
TEST_F(PlotWindows, ScatterRedrawShowsWhatArrivingFixesDrew) {
    makePlots();
    TScatterPlotForm* form = plots_->scatter();
    form->resize(520, 400);
    form->show();
    settle();
    TScatterSettings settings = form->scatterPlot()->state().settings();
    settings.connect = true;
    settings.show[2] = false;
    form->setSettings(settings);
    form->redrawPlot();
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 1.5);
    std::uniform_int_distribution<int> dice(0, 99);
    for (int i = 0; i < 2000; ++i) {
        const int type = 1 + (i / 150) % 4;
        // Runs of fixes that stay put, and a few far outside the plot.
        const bool still = dice(rng) < 40;
        static double east = 0, north = 0;
        if (!still) {
            east = noise(rng) / type + (dice(rng) == 0 ? 50 : 0);
            north = noise(rng) / type;
        }
        feed(pg(latOf(north), lonOf(east), type));
        if (i % 50 == 49)
            form->addPoints(monitor_->plotData().drain().positions);
    }
    const QImage live = form->scatterPlot()->bitmap().copy();
    const std::string total = text(form, "TotalLabel");
    form->redrawPlot();
    EXPECT_TRUE(form->scatterPlot()->bitmap() == live);
    EXPECT_EQ(text(form, "TotalLabel"), total);
}

TEST_F(PlotWindows, SlowPlotRedrawsOnceWhenTheResizeSettles) {
    CountingPlot plot;
    plot.resize(200, 150);
    plot.show();
    settle();
    const int shown = plot.draws;
    plot.resize(210, 160);
    settle();
    EXPECT_EQ(plot.draws, shown + 1);
    EXPECT_EQ(plot.drawnAt, QSize(210, 160));

    plot.setSlowRedrawMs(-1);     // every redraw counts as slow
    plot.setResizeSettleMs(1000); // longer than a step takes on a loaded machine
    const int before = plot.draws;
    for (int i = 1; i <= 5; ++i) {
        plot.resize(210 + 10 * i, 160 + 5 * i);
        settle();
        EXPECT_EQ(plot.bitmap().size(), QSize(210 + 10 * i, 160 + 5 * i));
    }
    EXPECT_EQ(plot.draws, before);
    ASSERT_TRUE(telvor::testing::eventually([&] { return plot.draws > before; }, 10000,
                                            [] {
                                                QApplication::processEvents();
                                                std::this_thread::sleep_for(
                                                    std::chrono::milliseconds(10));
                                            }));
    EXPECT_EQ(plot.draws, before + 1);
    EXPECT_EQ(plot.drawnAt, QSize(260, 185));
}

TEST_F(PlotWindows, PositionStripsDrawFixesInClassColours) {
    // A store with its own clock, so the fixes spread over time.
    TSimFeed sim(40);
    TPlotData data(3600, sim.clock());
    data.setTarget(TSimFeed::targetLat(), TSimFeed::targetLon());
    TPositionPlotForm form(data, nullptr);
    EXPECT_EQ(form.repaintTimer()->objectName().toStdString(), "RepaintTimer");
    EXPECT_EQ(form.repaintTimer()->interval(), 1000);
    form.resize(500, 400);
    form.show();
    settle();
    TPositionPlot* plot = form.positionPlot();
    for (int s = 0; s < 120; ++s) {
        sim.feed(s, {"PG"}, {&data});
        plot->append(data.drain().positions);
    }
    plot->redraw();
    const QImage& image = plot->bitmap();
    std::map<QRgb, int> seen;
    for (int y = 0; y < image.height() / 2; ++y)
        for (int x = 0; x < image.width(); ++x)
            ++seen[image.pixel(x, y)];
    for (int c = 0; c < 4; ++c)
        EXPECT_GT(seen[rgbOf(kDefaultClassColours[static_cast<std::size_t>(c)])], 0) << c;
    EXPECT_EQ(plot->keptEntries(), data.positionHistory().size());

    // A short span keeps only its own part after a reload.
    TStripSettings s;
    s.maxX = 30;
    plot->setSettings(s, kDefaultClassColours);
    plot->reload();
    EXPECT_LE(plot->keptEntries(), 31u);
}

TEST_F(PlotWindows, PreferencesValidateSaveAndResize) {
    int applied = 0;
    std::vector<std::string> messages;
    TPlotPrefsForm form(plotPrefsInput(TScatterSettings{}, TStripSettings{}, 3600),
                        [&](const TPlotPrefs&) { ++applied; });
    form.setNotifier([&](const std::string& m) { messages.push_back(m); });
    auto* apply = find<QPushButton>(&form, "ApplyButton");
    EXPECT_FALSE(apply->isEnabled());
    auto edit = [&](const char* name, const char* value) {
        auto* e = find<QLineEdit>(&form, name);
        e->setText(value);
        emit e->textEdited(value);
    };
    struct Case {
        const char *edit, *bad, *good, *message;
    };
    for (const Case& c :
         {Case{"PlotWidthEdit", "0", "12.5", "Invalid value for Plot width"},
          Case{"TickIntervalEdit", "x", "2", "Invalid value for Tick interval"},
          Case{"MaxDeviationEdit", "-1", "0", "Invalid value for Max. difference"},
          Case{"DeviationStepEdit", "", "0.25", "Invalid value for Deviation step"}}) {
        edit(c.edit, c.bad);
        EXPECT_TRUE(apply->isEnabled());
        EXPECT_FALSE(form.applyClick());
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), c.message);
        edit(c.edit, c.good);
    }
    EXPECT_EQ(applied, 0);
    edit("TimeIntervalEdit", "-7");
    apply->click();
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(find<QLineEdit>(&form, "TimeIntervalEdit")->text().toStdString(), "1");

    // Through the owner: saved, history resized, plots take the new settings.
    makePlots();
    TPlotPrefsInput in = plotPrefsInput(TScatterSettings{}, TStripSettings{}, 5000);
    in.plotWidth = "20";
    in.connect = true;
    in.show[fcFloat] = false;
    in.timeInterval = "600";
    plots_->applyPrefs(*validatePlotPrefs(in).prefs);
    EXPECT_EQ(monitor_->plotData().capacity(), 5000);
    EXPECT_EQ(profile_->read(keys::ScatterMaxDots), 5000);
    EXPECT_EQ(profile_->read(keys::ScatterWidth), 20);
    EXPECT_FALSE(profile_->read(keys::ScatterFL));
    EXPECT_EQ(profile_->read(keys::PositionMaxX), 600);
    EXPECT_TRUE(plots_->scatter()->scatterPlot()->state().settings().connect);
    EXPECT_FALSE(find<QCheckBox>(plots_->scatter(), "FLCheckBox")->isChecked());
    EXPECT_EQ(plots_->position()->positionPlot()->settings().maxX, 600);

    // A new owner reads them back.
    plots_.reset();
    monitor_ = std::make_unique<TMonitor>(host_, slots_, profile_.get());
    makePlots();
    EXPECT_EQ(monitor_->plotData().capacity(), 5000);
    EXPECT_EQ(plots_->scatter()->scatterPlot()->state().settings().width, 20);
}

namespace {
struct FakeSource : TPositionSource {
    bool open = true;
    std::optional<TLatLon> position;
    int asked = 0;
    bool linkOpen() override { return open; }
    bool monitoring() override { return true; }
    void clearInput() override {}
    void sendLine(const std::string&) override {}
    std::optional<TLatLon> awaitPosition(int) override {
        ++asked;
        return position;
    }
};
} // namespace

TEST_F(PlotWindows, TargetWindowShowsQueriesAndStores) {
    const double deg = kPi / 180;
    monitor_->target() = {45.51 * deg, -(1 + 30 / 60.0) * deg, true};
    FakeSource source;
    {
        source.open = false;
        TTargetPositionForm form(*monitor_, &source);
        EXPECT_FALSE(find<QPushButton>(&form, "QueryButton")->isEnabled());
        TTargetPositionForm none(*monitor_, nullptr);
        EXPECT_FALSE(find<QPushButton>(&none, "QueryButton")->isEnabled());
    }
    source.open = true;
    TTargetPositionForm form(*monitor_, &source);
    EXPECT_EQ(find<QLineEdit>(&form, "LatDEdit")->text().toStdString(), "45");
    EXPECT_EQ(find<QLineEdit>(&form, "LatMEdit")->text().toStdString(), "30");
    EXPECT_EQ(find<QLineEdit>(&form, "LatSEdit")->text().toStdString(), "36.00000");
    EXPECT_EQ(find<QComboBox>(&form, "LatComboBox")->currentIndex(), 0);
    EXPECT_EQ(find<QComboBox>(&form, "LonComboBox")->currentIndex(), 1);
    EXPECT_EQ(find<QLineEdit>(&form, "LonMEdit")->text().toStdString(), "30");

    find<QPushButton>(&form, "QueryButton")->click();
    EXPECT_EQ(source.asked, 1);
    EXPECT_EQ(find<QStatusBar>(&form, "StatusBar")->currentMessage().toStdString(),
              "Receiver didn't reply with position");
    source.position = TLatLon{-10 * deg, 20.5 * deg};
    find<QPushButton>(&form, "QueryButton")->click();
    EXPECT_TRUE(find<QStatusBar>(&form, "StatusBar")->currentMessage().isEmpty());
    EXPECT_EQ(find<QLineEdit>(&form, "LatDEdit")->text().toStdString(), "10");
    EXPECT_EQ(find<QComboBox>(&form, "LatComboBox")->currentIndex(), 1);
    EXPECT_EQ(find<QLineEdit>(&form, "LonMEdit")->text().toStdString(), "30");
    EXPECT_TRUE(form.isEnabled());

    // A fix 1 m north of the new target, stored before the target moves, is re-based.
    monitor_->plotData().setTarget(monitor_->target().lat, monitor_->target().lon);
    feed(pg(-10 * deg + latOf(1), 20.5 * deg, 1));
    monitor_->plotData().drain();
    find<QLineEdit>(&form, "LatSEdit")->setText("abc");
    find<QPushButton>(&form, "OKButton")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_NEAR(monitor_->target().lat, -10 * deg, 1e-12);
    EXPECT_NEAR(monitor_->target().lon, 20.5 * deg, 1e-12);
    EXPECT_FALSE(monitor_->target().capture);
    EXPECT_NEAR(profile_->read(keys::TargetPositionLon), 20.5 * deg, 1e-12);
    EXPECT_NEAR(monitor_->plotData().positionHistory().at(0).north, -1, 1e-6);
}

TEST_F(PlotWindows, GeometryAndVisibilityPersist) {
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    profile_->writeInteger("Plots", "SatellitesPlotFormX", screen.width() + 500);
    profile_->writeInteger("Plots", "SatellitesPlotFormY", -40);
    profile_->writeInteger("Plots", "SatellitesPlotFormW", 300);
    profile_->writeInteger("Plots", "SatellitesPlotFormH", 250);
    profile_->writeBool("Plots", "PositionPlotFormV", true);
    makePlots();
    TSatellitesPlotForm* sat = plots_->satellites();
    EXPECT_EQ(sat->pos(), QPoint(screen.width() - 300, 0));
    EXPECT_EQ(sat->size(), QSize(300, 250));

    plots_->showSaved();
    EXPECT_TRUE(plots_->position()->isVisible());
    EXPECT_FALSE(plots_->satellites()->isVisible());
    EXPECT_TRUE(plots_->positionOrScatterVisible());
    EXPECT_FALSE(plots_->satellitesVisible());

    plots_->show(TPlotKind::Satellites);
    EXPECT_TRUE(profile_->readBool("Plots", "SatellitesPlotFormV", false));
    sat->move(20, 30);
    sat->hide();
    EXPECT_FALSE(profile_->readBool("Plots", "SatellitesPlotFormV", true));
    EXPECT_EQ(profile_->readInteger("Plots", "SatellitesPlotFormX", -1), 20);
    EXPECT_EQ(profile_->readInteger("Plots", "SatellitesPlotFormW", -1), sat->width());

    // Closing the program keeps the stored visibility of the open windows.
    plots_->closing();
    plots_->position()->hide();
    EXPECT_TRUE(profile_->readBool("Plots", "PositionPlotFormV", false));
}

namespace {
QImage drawPieces(const TStrip& strip, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    TRaster raster(image);
    const TRect& a = strip.area;
    raster.setClip(QRect(a.left, a.top, a.width() + 1, a.height() + 1));
    for (const auto& p : strip.pieces) {
        if (p.pixel)
            raster.pixel(p.to.x, p.to.y, rgbOf(p.colour));
        else
            raster.line(p.from, p.to, rgbOf(p.colour));
    }
    return image;
}
} // namespace

TEST(PositionThinning, SamePictureFromFarFewerFixes) {
    // Fixes at 1 Hz with gaps, class changes, a value that is not a number and jumps.
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 1);
    std::vector<TPositionEntry> h;
    std::uint32_t t = 1000;
    std::uint8_t cls = 0;
    for (int i = 0; i < 100000; ++i) {
        t += rng() % 60 == 0 ? 2 + rng() % 3 : 1;
        if (rng() % 700 == 0)
            cls = static_cast<std::uint8_t>(rng() % 4);
        double jump = rng() % 1000 == 0 ? 30 : 0;
        // North sweeps steadily, so fixes on both sides of a gap can leave a hole between.
        h.push_back({noise(rng) + jump, 10 * std::sin(t * 0.05) + 0.1 * noise(rng) - jump, t, cls});
    }
    h[5000].north = std::numeric_limits<double>::quiet_NaN();
    const std::uint32_t now = t + 3;
    const int w = 500, hgt = 320;
    auto colours = kDefaultClassColours;

    for (TStripSettings cfg :
         {TStripSettings{200000, 0, true, 30, 0.5}, TStripSettings{200000, 0.8, true, 30, 0.5},
          TStripSettings{60000, 0, true, 30, 0.5}, TStripSettings{3000, 0, true, 30, 0.5},
          TStripSettings{360, 0, true, 30, 0.5}}) {
        TStripPlot layout = computeStrips(cfg, w, hgt, {}, now, colours);
        TStripPlot full = computeStrips(cfg, w, hgt, h, now, colours);
        for (bool north : {true, false}) {
            SCOPED_TRACE(std::to_string(cfg.maxX) + " " + std::to_string(cfg.maxY) +
                         (north ? " north" : " east"));
            const TRect& area = north ? layout.upper.area : layout.lower.area;
            for (std::size_t first : {std::size_t{0}, std::size_t{20000}}) {
                auto thin = thinForStrip(h, first, cfg, area, now, north);
                std::vector<TPositionEntry> tail(h.begin() + static_cast<std::ptrdiff_t>(first),
                                                 h.end());
                TStripPlot a = first ? computeStrips(cfg, w, hgt, tail, now, colours) : full;
                TStripPlot b = computeStrips(cfg, w, hgt, thin, now, colours);
                const TStrip& sa = north ? a.upper : a.lower;
                const TStrip& sb = north ? b.upper : b.lower;
                EXPECT_EQ(sa.scale, sb.scale);
                EXPECT_EQ(sa.scaleLabels.size(), sb.scaleLabels.size());
                EXPECT_TRUE(drawPieces(sa, w, hgt) == drawPieces(sb, w, hgt));
                if (cfg.maxX >= 60000 && first == 0) {
                    EXPECT_LT(thin.size(), h.size() / 5);
                }
            }
        }
    }
}

// Renders the three windows from a simulated receiver. With TELVOR_SCREENSHOT_DIR set, the
// images are written there as sky.png, position.png and scatter.png.
TEST_F(PlotWindows, RenderFromSimulatedReceiver) {
    TSimFeed sim(1200);
    TPlotData clocked(3600, sim.clock());
    clocked.setTarget(TSimFeed::targetLat(), TSimFeed::targetLon());
    monitor_->target() = {TSimFeed::targetLat(), TSimFeed::targetLon(), false};
    monitor_->plotData().setTarget(TSimFeed::targetLat(), TSimFeed::targetLon());
    clocked.setElevationMask(10);

    TSatellitesPlotForm sky(clocked, nullptr, {});
    sky.inputModeChanged(TInputMode::Monitoring);
    TPositionPlotForm position(clocked, nullptr);
    TScatterPlotForm scatter(*monitor_, nullptr);
    sky.resize(480, 620);
    position.resize(560, 420);
    scatter.resize(700, 480);
    for (QWidget* w : {static_cast<QWidget*>(&sky), static_cast<QWidget*>(&position),
                       static_cast<QWidget*>(&scatter)})
        w->show();
    settle();

    // Six hours of sky every 10 s, then the last ten minutes of fixes every second.
    for (int s = 0; s < 6 * 3600; s += 10) {
        sim.feed(s, {"GS", "NS", "DP"}, {&clocked});
        sky.addViews(clocked.drain().views);
    }
    TPlotData& scatterData = monitor_->plotData();
    for (int s = 6 * 3600; s < 6 * 3600 + 1200; ++s) {
        sim.feed(s, {"PG", "SG"}, {&clocked, &scatterData});
        position.positionPlot()->append(clocked.drain().positions);
        scatter.addPoints(scatterData.drain().positions);
    }
    sim.feed(6 * 3600 + 1200, {"GS", "NS", "DP"}, {&clocked});
    sky.addViews(clocked.drain().views);
    position.positionPlot()->redraw();
    settle();

    EXPECT_NE(text(&sky, "CountLabel"), "0=0+0");
    EXPECT_GT(scatter.scatterPlot()->state().count(), 1000u);
    const char* dir = std::getenv("TELVOR_SCREENSHOT_DIR");
    for (auto [widget, file] : {std::pair<QWidget*, const char*>{&sky, "sky.png"},
                                {&position, "position.png"},
                                {&scatter, "scatter.png"}}) {
        QPixmap shot = widget->grab();
        EXPECT_FALSE(shot.isNull());
        if (dir) {
            EXPECT_TRUE(shot.save(QDir(dir).filePath(file))) << file;
        }
    }
    // The position window at 800 px: its scale labels stand apart as at the default size.
    if (dir) {
        position.resize(800, 800);
        settle();
        EXPECT_TRUE(position.grab().save(QDir(dir).filePath("position-800.png")));
    }
}
