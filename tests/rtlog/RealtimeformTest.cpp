// The logging window against telvor-sim: Start and Stop through its buttons, the labels, and
// the edits Start writes back.
#include "rtlog/Realtimeform.h"

#include "monitor/Monitor.h"

#include "settings/Settingskeys.h"
#include "support/Qtapp.h"
#include "support/Simsession.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

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
