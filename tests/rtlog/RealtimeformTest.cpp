// The logging window against telvor-sim: Start and Stop through its buttons, the labels, the
// edits Start writes back, the wait for the last conversion, and a receiver that goes away.
#include "rtlog/Realtimeform.h"

#include "app/Mainwindow.h"
#include "app/Qtbridge.h"
#include "monitor/Monitor.h"

#include "settings/Settingskeys.h"
#include "support/Eventually.h"
#include "support/Qtapp.h"
#include "support/Simsession.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <fstream>
#include <mutex>

namespace telvor::testing {
namespace {

class RealTimeForm : public TSimSessionFixture {
protected:
    RealTimeForm() : TSimSessionFixture("telvor-rtform") { qtApp(); }
    template <class T> T* child(TRealTimeForm& form, const char* name) {
        T* w = form.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
};

TEST_F(RealTimeForm, StartAndStopASingleFile) {
    profile->write(keys::RealTimeOutputPath, dir.string());
    ASSERT_NO_FATAL_FAILURE(connectPaused(telvorsim::TSimOptions{}));
    TRealTimeForm form(*profile);
    form.show();
    auto* elm = child<QLineEdit>(form, "ELMEdit");
    ASSERT_TRUE(waitFor([&] { return !elm->text().isEmpty(); }));
    child<QLineEdit>(form, "EditFile")->setText("win");
    child<QLineEdit>(form, "HoursEdit")->setText("0");
    auto* start = child<QPushButton>(form, "ButtonStart");
    start->click();
    EXPECT_EQ(start->text(), "&Stop") << child<QLabel>(form, "StatusBar")->text().toStdString();
    EXPECT_EQ(child<QLineEdit>(form, "EditFile")->text(), "win.vxr");
    EXPECT_EQ(child<QLineEdit>(form, "HoursEdit")->text(), "1");
    EXPECT_FALSE(child<QPushButton>(form, "ButtonCancel")->isEnabled());
    auto* bytes = child<QLabel>(form, "BytesLabel");
    ASSERT_TRUE(waitFor([&] { return bytes->text().toInt() > 0; }, 8000));
    start->click();
    EXPECT_EQ(start->text(), "&Start");
    EXPECT_TRUE(child<QPushButton>(form, "ButtonCancel")->isEnabled());
    EXPECT_GT(std::filesystem::file_size(dir / "win.vxr"), 0u);
    form.close();
    EXPECT_EQ(profile->read(keys::ReceiverRecordingIntervalTerm), "1.00");
}

// The reduced monitor fills from the session's decoders while the window logs, and gives way
// to the output path page.
TEST_F(RealTimeForm, TheReducedMonitorFillsWhileLogging) {
    profile->write(keys::RealTimeOutputPath, dir.string());
    // A clock ten times faster: the receiver has its first fix within a second or two.
    telvorsim::TSimOptions o;
    o.epochWallMs = 100;
    ASSERT_NO_FATAL_FAILURE(connectPaused(o));
    TQuietMonitorHost host;
    TLatestSlotSource source;
    TMonitor monitor(host, source, nullptr);
    {
        TRealTimeForm form(*profile);
        form.setMonitor(&monitor);
        EXPECT_EQ(monitor.decoder().loggingView(), &form.monitorView());
        form.show();
        auto* gps = child<QTreeWidget>(form, "GPSList");
        for (int c = 0; c < gps->columnCount(); ++c)
            EXPECT_NE(gps->headerItem()->text(c), "SS");
        auto* elm = child<QLineEdit>(form, "ELMEdit");
        ASSERT_TRUE(waitFor([&] { return !elm->text().isEmpty(); }));
        child<QLineEdit>(form, "EditFile")->setText("mon");
        auto* start = child<QPushButton>(form, "ButtonStart");
        start->click();
        ASSERT_EQ(start->text(), "&Stop") << child<QLabel>(form, "StatusBar")->text().toStdString();
        auto* time = child<QLabel>(form, "TimeLabel");
        auto* x = child<QLabel>(form, "PositionX");
        auto* pdop = child<QLabel>(form, "PDOPLabel");
        ASSERT_TRUE(waitFor(
            [&] {
                return gps->topLevelItemCount() > 0 && !time->text().isEmpty() &&
                       !x->text().isEmpty() && !pdop->text().isEmpty();
            },
            10000))
            << gps->topLevelItemCount() << " [" << time->text().toStdString() << "] ["
            << x->text().toStdString() << "] [" << pdop->text().toStdString() << "] "
            << monitor.display().stats().ticks << " " << monitor.display().stats().decoded;
        EXPECT_FALSE(time->isHidden());
        // The main view keeps its own labels: the logging window's go to its copy only.
        EXPECT_TRUE(monitor.view().text("PositionX").empty());

        auto* panel = child<QWidget>(form, "MonitorPanel");
        child<QTabWidget>(form, "PageControl")->setCurrentIndex(2);
        EXPECT_TRUE(panel->isHidden());
        child<QTabWidget>(form, "PageControl")->setCurrentIndex(0);
        EXPECT_FALSE(panel->isHidden());
        start->click();
        form.close();
    }
    EXPECT_EQ(monitor.decoder().loggingView(), nullptr);
}

// Stop while the last file converts: the window keeps painting and answering, shows the wait
// in a message window, and cannot be closed until the converter is done.
TEST_F(RealTimeForm, StopWaitsForTheLastConversionWithTheWindowAlive) {
    profile->write(keys::RealTimeOutputPath, dir.string());
    profile->write(keys::Vxr2RinApplication, std::string(TELVOR_FAKE_CONVERTER));
    profile->write(keys::Vxr2RinOptions, "--sleep=1500");
    ASSERT_NO_FATAL_FAILURE(connectPaused(telvorsim::TSimOptions{}));
    TRealTimeForm form(*profile);
    form.show();
    auto* elm = child<QLineEdit>(form, "ELMEdit");
    ASSERT_TRUE(waitFor([&] { return !elm->text().isEmpty(); }));
    child<QLineEdit>(form, "EditFile")->setText("conv");
    child<QCheckBox>(form, "RinexCheckBox")->setChecked(true);
    auto* start = child<QPushButton>(form, "ButtonStart");
    start->click();
    ASSERT_EQ(start->text(), "&Stop") << child<QLabel>(form, "StatusBar")->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return form.logic().bytesWritten() > 0; }, 8000));
    bool shown = false, closed = true;
    QTimer::singleShot(300, &form, [&] {
        auto* box = form.findChild<QMessageBox*>("ConvertWait");
        shown =
            box && box->isVisible() &&
            box->text() == "Please wait while Telvor is converting the last file to RINEX format";
        closed = form.close();
    });
    start->click();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.findChild<QMessageBox*>("ConvertWait"), nullptr);
    EXPECT_EQ(start->text(), "&Start");
    EXPECT_TRUE(std::filesystem::exists(dir / "args.txt"));
    form.close();
}

// The receiver goes away during a series: the window says so at once, searches, and goes on
// with the next file of the series once the receiver is back; the earlier file keeps its bytes.
TEST_F(RealTimeForm, ALostReceiverIsShownAtOnceAndTheSeriesGoesOnInANewFile) {
    const std::string link = (dir / "rx").string();
    auto startAt = [&] {
        sim = std::make_unique<telvorsim::TSimReceiver>(telvorsim::TSimOptions{});
        ASSERT_FALSE(sim->startPty(link).empty()) << sim->lastError();
    };
    profile->write(keys::RealTimeOutputPath, dir.string());
    profile->write(keys::CommPort, link);
    ASSERT_NO_FATAL_FAILURE(startAt());
    ASSERT_TRUE(session->connect()) << session->lastError();
    ASSERT_EQ(session->pauseMonitoring(), "");
    TRealTimeForm form(*profile);
    form.setLink({[&] { return session->reconnectForLogging(2000); },
                  [&] { session->disconnect(); }, [&] { session->requestStop(); }});
    form.show();
    auto* elm = child<QLineEdit>(form, "ELMEdit");
    ASSERT_TRUE(waitFor([&] { return !elm->text().isEmpty(); }));
    child<QTabWidget>(form, "PageControl")->setCurrentIndex(1);
    child<QLineEdit>(form, "NamePrefixEdit")->setText("st");
    auto* start = child<QPushButton>(form, "ButtonStart");
    auto* status = child<QLabel>(form, "StatusBar");
    start->click();
    ASSERT_EQ(start->text(), "&Stop") << status->text().toStdString();
    const auto first = dir / "st0000.vxr";
    ASSERT_TRUE(waitFor([&] { return form.logic().bytesWritten() > 2000; }, 10000));

    sim->stop();
    ASSERT_TRUE(waitFor([&] { return status->text().startsWith("Link lost: "); }, 4000))
        << status->text().toStdString();
    EXPECT_EQ(start->text(), "&Stop");
    const std::uintmax_t kept = std::filesystem::file_size(first);
    std::string before;
    {
        std::ifstream in(first, std::ios::binary);
        before.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_NO_FATAL_FAILURE(startAt());
    const auto second = dir / "st0001.vxr";
    ASSERT_TRUE(waitFor(
        [&] {
            return form.logic().currentFileName() == second.string() &&
                   form.logic().bytesWritten() > 2000;
        },
        30000))
        << status->text().toStdString();
    std::string after;
    {
        std::ifstream in(first, std::ios::binary);
        after.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(std::filesystem::file_size(first), kept);
    EXPECT_EQ(after, before);
    start->click();
    EXPECT_EQ(start->text(), "&Start");
    EXPECT_GT(std::filesystem::file_size(second), 2000u);
    form.close();
}

// Opened from the main window, the logging window asks for the satellite views while the
// satellites plot is open, and for no positions while neither position plot is.
TEST(RealTimeFormOfTheMainWindow, TheMonitorListFollowsTheOpenPlotWindows) {
    qtApp();
    TTempDir tmp("telvor-rtform-main");
    TProfile profile((tmp / "telvor.ini").string());
    setProfile(&profile);
    std::mutex linesLock;
    std::vector<std::string> lines;
    telvorsim::TSimOptions o;
    o.verbose = true;
    o.log = [&](const std::string& line) {
        std::lock_guard lock(linesLock);
        if (line.rfind("RX: ", 0) == 0)
            lines.push_back(line);
    };
    auto received = [&](const std::string& part) {
        std::lock_guard lock(linesLock);
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    telvorsim::TSimReceiver sim(o);
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty()) << sim.lastError();
    profile.write(keys::CommPort, slave);
    profile.write(keys::CommAutoServer, true); // no connection dialog
    TQtBridge bridge;
    {
        TMainWindow main(profile, bridge);
        main.createPlotWindows();
        main.show();
        ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));
        main.findChild<QAction*>("SatellitesPlotItem")->trigger();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* form = QApplication::activeModalWidget();
            ASSERT_TRUE(form && form->objectName() == "TRealTimeForm");
            seen = waitFor([&] { return received("/EE,/GS,/NS}"); });
            EXPECT_FALSE(received("/SG,/PG"));
            form->findChild<QPushButton*>("ButtonCancel")->click();
        });
        main.findChild<QAction*>("Real-TimeLoggingItem")->trigger();
        EXPECT_TRUE(seen);
        main.close();
    }
    setProfile(nullptr);
}

// "Setup conve&rter" opens the converter setup over the window.
TEST_F(RealTimeForm, SetupConverterOpensTheConverterSetup) {
    TRealTimeForm form(*profile);
    form.show();
    auto* setup = child<QPushButton>(form, "RinexSetupButton");
    EXPECT_EQ(setup->text(), "Setup conve&rter");
    QString caption;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            caption = dialog->windowTitle();
            dialog->reject();
        }
    });
    setup->click();
    EXPECT_EQ(caption, "Converter to RINEX Setup");
}

} // namespace
} // namespace telvor::testing
