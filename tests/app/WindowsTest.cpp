// Window tests (offscreen): the connection dialog's dependencies and what Connect writes, the
// debug window's rules, and the main window connected to the simulated receiver with its
// monitor and plot windows. With TELVOR_SCREENSHOT_DIR set, the windows are also saved as PNG
// files there.
#include "app/Commconfig.h"
#include "app/Connectform.h"
#include "app/Debugwindow.h"
#include "app/Mainmonitor.h"
#include "app/Mainwindow.h"
#include "app/Qtbridge.h"
#include "links/Portio.h"
#include "monitor/Plotswindow.h"
#include "protocol/Debugcore.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace telvor;

namespace {

QApplication& app() {
    return telvor::testing::qtApp();
}

// Waits with the event loop running, so that queued signals and timers reach the windows.
using telvor::testing::waitFor;

void screenshot(QWidget* w, const char* file) {
    const char* dir = std::getenv("TELVOR_SCREENSHOT_DIR");
    if (!dir)
        return;
    QApplication::processEvents();
    w->grab().save(QString("%1/%2").arg(dir, file));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        fs::create_directories(dir / "sys/class/tty/ttyS0");
        fs::create_directories(dir / "dev/serial/by-id");
        std::ofstream(dir / "sys/class/tty/ttyS0/type") << "4\n";
        std::ofstream(dir / "dev/ttyS0") << "";
        scan.sysRoot = (dir / "sys").string();
        scan.devRoot = (dir / "dev").string();
        profile = std::make_unique<TProfile>((dir / "telvor.ini").string());
        setProfile(profile.get());
    }
    void TearDown() override {
        setProfile(nullptr);
        setServerPasswordCodec({});
    }
    template <class T> T* find(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    telvor::testing::TTempDir tmp{"telvor-windows"};
    const fs::path dir = tmp.path;
    TPortScan scan;
    std::unique_ptr<TProfile> profile;
};

TEST_F(WindowTest, ConnectFormDependencies) {
    profile->write(keys::CommPort, "COM1");
    profile->write(keys::CommBaud, "57600");
    profile->write(keys::CommTimeout, 2000);
    profile->write(keys::CommRTSCTS, true);
    TConnectForm form(*profile, false, false, nullptr, scan);
    form.show();

    auto* com = find<QComboBox>(&form, "ComboCom");
    auto* speed = find<QComboBox>(&form, "ComboSpeed");
    EXPECT_EQ(com->currentText(), scan.devRoot.c_str() + QString("/ttyS0"));
    EXPECT_EQ(speed->count(), 8);
    EXPECT_EQ(speed->currentText(), "57600");
    EXPECT_EQ(find<QComboBox>(&form, "TimeOutComboBox")->currentText(), "2000");

    auto* irda = find<QCheckBox>(&form, "IrDACheckBox");
    auto* hs = find<QCheckBox>(&form, "HandshakingCheckBox");
    EXPECT_TRUE(hs->isChecked());
    irda->setChecked(true);
    EXPECT_FALSE(hs->isChecked());
    EXPECT_FALSE(hs->isEnabled());

    auto* terminal = find<QCheckBox>(&form, "TerminalCheckBox");
    auto* passive = find<QCheckBox>(&form, "PassiveCheckBox");
    auto* recBaud = find<QCheckBox>(&form, "RecBaudCheckBox");
    EXPECT_FALSE(passive->isChecked());
    terminal->setChecked(true);
    EXPECT_TRUE(passive->isChecked());
    EXPECT_FALSE(passive->isEnabled());
    EXPECT_FALSE(recBaud->isEnabled());
    terminal->setChecked(false);

    auto* client = find<QRadioButton>(&form, "TypeRadio1");
    client->click();
    EXPECT_FALSE(com->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(&form, "HostEdit")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(&form, "TCPPortEdit")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>(&form, "MonitorCheckBox")->isEnabled());
    find<QRadioButton>(&form, "TypeRadio2")->click();
    EXPECT_TRUE(com->isEnabled());
    EXPECT_TRUE(find<QCheckBox>(&form, "MonitorCheckBox")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(&form, "HostEdit")->isEnabled());

    find<QRadioButton>(&form, "TypeRadio0")->click();
    com->setCurrentIndex(com->findData("ETHR"));
    EXPECT_FALSE(speed->isVisible());
    EXPECT_FALSE(irda->isVisible());
    EXPECT_EQ(find<QLabel>(&form, "PortLabel")->text(), "Host name:");
    EXPECT_TRUE(find<QLineEdit>(&form, "EthrDHostEdit")->isVisible());
    EXPECT_EQ(find<QLineEdit>(&form, "EthrDPasswordEdit")->maxLength(), 15);
    com->setCurrentIndex(0);
    EXPECT_TRUE(speed->isVisible());
    EXPECT_EQ(find<QLabel>(&form, "PortLabel")->text(), "Port:");
}

TEST_F(WindowTest, ConnectButtonWritesTheSettings) {
    setServerPasswordCodec({[](const std::string& p) { return "ENC(" + p + ")"; },
                            [](const std::string& s) { return s; }});
    profile->write(keys::CommPassword, "OLD");
    TConnectForm form(*profile, false, false, nullptr, scan);
    auto* com = find<QComboBox>(&form, "ComboCom");
    com->setEditText("/dev/ttyACM7"); // typed
    emit com->lineEdit()->editingFinished();
    find<QComboBox>(&form, "ComboSpeed")->setCurrentText("9600");
    find<QComboBox>(&form, "TimeOutComboBox")->setEditText("fast");
    find<QCheckBox>(&form, "PassiveCheckBox")->setChecked(true);
    find<QLineEdit>(&form, "PasswordEdit")->clear();
    find<QPushButton>(&form, "ButtonOK")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);

    EXPECT_EQ(profile->read(keys::CommPort), "/dev/ttyACM7");
    EXPECT_EQ(profile->read(keys::CommBaud), "9600");
    EXPECT_EQ(profile->read(keys::CommTimeout), 500); // not a number
    EXPECT_EQ(profile->read(keys::ReceiverElevMask), "");
    EXPECT_EQ(profile->readString("Comm", "Password", "missing"), ""); // empty, not enciphered
    EXPECT_EQ(profile->read(keys::MainWindowReceiverDetails), false);
}

TEST_F(WindowTest, ScriptStartForcesManualModeInDirect) {
    profile->write(keys::CommConnectionType, 2);
    TConnectForm form(*profile, true, false, nullptr, scan);
    EXPECT_FALSE(find<QGroupBox>(&form, "TypeRadioGroup")->isEnabled());
    EXPECT_FALSE(find<QCheckBox>(&form, "RecBaudCheckBox")->isEnabled());
    EXPECT_TRUE(find<QCheckBox>(&form, "TerminalCheckBox")->isChecked());
    EXPECT_TRUE(find<QRadioButton>(&form, "TypeRadio0")->isChecked());
    EXPECT_EQ(profile->read(keys::CommConnectionType), 0);
}

TEST_F(WindowTest, DebugWindowRules) {
    profile->write(keys::DebugShowCommErrors, true);
    TDebugCore core;
    QWidget owner;
    owner.setGeometry(100, 100, 400, 300);
    {
        TDebugWindow debug(*profile, core, owner.geometry());
        EXPECT_TRUE(debug.isVisible());
        EXPECT_EQ(debug.windowTitle(), "Telvor Debug window");
        EXPECT_TRUE(profile->read(keys::DebugShowDebugWindow));

        core.showError("Framing error");
        core.showLine("CMD: dm");
        auto* list = find<QListWidget>(&debug, "ErrorList");
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(find<QLabel>(&debug, "ErrorCountLabel")->text(), "1");
        auto* show = find<QCheckBox>(&debug, "ShowCommandsCheckBox");
        show->setChecked(true);
        EXPECT_TRUE(core.showAllCommands());
        screenshot(&debug, "debug-window.png");
        find<QPushButton>(&debug, "ClearErrorsButton")->click();
        EXPECT_EQ(list->count(), 0);
        EXPECT_EQ(find<QLabel>(&debug, "ErrorCountLabel")->text(), "0");

        // A modal dialog of the program leaves the debug window usable.
        owner.show();
        struct TBlockWatch : QObject {
            int blocked = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::WindowBlocked)
                    ++blocked;
                return false;
            }
        } debugWatch, ownerWatch;
        debug.installEventFilter(&debugWatch);
        owner.installEventFilter(&ownerWatch);
        QDialog modal(&owner);
        modal.setWindowModality(Qt::WindowModal);
        bool enabledDuring = false;
        QTimer::singleShot(50, &modal, [&] {
            enabledDuring = debug.isEnabled();
            modal.accept();
        });
        modal.exec();
        EXPECT_TRUE(enabledDuring);
        EXPECT_EQ(debugWatch.blocked, 0);
        EXPECT_GT(ownerWatch.blocked, 0);

        // Disabled by someone else: it enables itself again.
        debug.setEnabled(false);
        EXPECT_TRUE(waitFor([&] { return debug.isEnabled(); }, 1000));
        debug.move(120, 140);
        debug.resize(300, 200);

        // Its close button (the window system's close) hides it, for the next start too.
        ASSERT_NE(debug.windowHandle(), nullptr);
        EXPECT_TRUE(debug.windowHandle()->close());
        EXPECT_FALSE(debug.isVisible());
        EXPECT_FALSE(profile->read(keys::DebugShowDebugWindow));
        EXPECT_EQ(profile->read(keys::DebugW), 300);
        profile->write(keys::DebugW, 0);
    }
    EXPECT_EQ(profile->read(keys::DebugW), 0) << "hidden: not written again";
    EXPECT_TRUE(profile->read(keys::DebugShowCommands));
}

// The main window's close button ends the program's loop whatever else is open: the debug
// window stays as it is (it is destroyed, not asked), a sub-window is closed first.
TEST_F(WindowTest, MainWindowCloseEndsTheLoopWhateverIsOpen) {
    profile->write(keys::CommPort, "/dev/telvor-no-such-port");
    profile->write(keys::CommAutoServer, true);
    profile->write(keys::DebugShowDebugWindow, true);
    TQtBridge bridge;
    TMainWindow main(*profile, bridge);
    TDebugWindow debug(*profile, debugCore(), main.frameGeometry());
    main.show();
    QDialog sub;
    sub.setObjectName("SubWindow");
    bool subEnded = false;
    QTimer::singleShot(200, &main, [&] {
        main.runSubWindow(&sub, false);
        subEnded = true;
    });
    QTimer::singleShot(400, &main, [&] {
        EXPECT_TRUE(sub.isVisible());
        main.windowHandle()->close();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(10000);
    EXPECT_EQ(app().exec(), 0);
    EXPECT_TRUE(subEnded);
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(debug.isVisible());
    EXPECT_TRUE(profile->read(keys::DebugShowDebugWindow));
}

TEST_F(WindowTest, MainWindowConnectsToTheSimulatedReceiver) {
    telvorsim::TSimOptions options;
    options.epochWallMs = 200;
    telvorsim::TSimReceiver sim(options);
    std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty()) << sim.lastError();
    profile->write(keys::CommPort, slave);
    profile->write(keys::CommAutoServer, true); // connect without the dialog

    TQtBridge bridge;
    {
        TMainWindow main(*profile, bridge);
        TDebugWindow debug(*profile, debugCore(), main.frameGeometry());
        debug.followMonitor(main);
        main.createPlotWindows();
        main.show();
        EXPECT_EQ(main.windowTitle(), "Telvor (idle)");
        ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));
        auto* panel = main.findChild<QLabel*>("StatusPanel");
        EXPECT_EQ(panel->text().toStdString(), slave + ", 115200");
        EXPECT_EQ(main.windowTitle(), "Telvor to VORNA ID:8PZCRG4KZ7E ");
        EXPECT_FALSE(main.findChild<QPushButton*>("StopButton")->isVisible());
        auto* disconnect = main.findChild<QAction*>("DisconnectItem");
        ASSERT_NE(disconnect, nullptr);
        EXPECT_TRUE(disconnect->isEnabled());
        EXPECT_FALSE(main.findChild<QAction*>("ConnectItem")->isEnabled());
        EXPECT_FALSE(main.findChild<QAction*>("ManualModeItem")->isVisible()); // arrives later
        EXPECT_TRUE(main.findChild<QAction*>("ResetReceiverItem")->isVisible());
        EXPECT_TRUE(
            waitFor([&] { return main.findChild<QLabel*>("ElapsedLabel")->text() == "00:00:01"; }));
        // The monitor shows what the receiver tracks, where it is, and when.
        auto* gps = main.findChild<QTreeWidget*>("GPSList");
        auto* glo = main.findChild<QTreeWidget*>("GLOList");
        auto* lat = main.findChild<QLabel*>("PosLatLabel");
        EXPECT_TRUE(waitFor([&] { return gps->topLevelItemCount() > 3; }, 20000));
        EXPECT_TRUE(waitFor([&] { return glo->topLevelItemCount() > 0; }));
        EXPECT_TRUE(
            waitFor([&] { return lat->isVisible() && lat->text().startsWith("50"); }, 20000))
            << lat->text().toStdString();
        EXPECT_EQ(gps->topLevelItem(0)->columnCount(), 8);
        EXPECT_EQ(main.findChild<QLabel*>("GPSCountLabel")->text(),
                  QString("GPS Satellites (%1)").arg(gps->topLevelItemCount()));
        EXPECT_TRUE(main.findChild<QLabel*>("TimeLabel")->isVisible());
        // The almanac maps live in the debug window.
        auto* almanac = debug.findChild<QLabel*>("GALabel");
        ASSERT_NE(almanac, nullptr);
        EXPECT_TRUE(waitFor([&] { return almanac->text().contains("{"); }, 20000))
            << almanac->text().toStdString();
        EXPECT_NE(debug.findChild<QLabel*>("NALabel"), nullptr);
        // Sorting by a column click: "EL" descending after two clicks.
        for (int i = 0; i < 2; ++i)
            emit gps->header()->sectionClicked(1);
        EXPECT_EQ(main.monitor().monitor().view().gps().sortKey, -2);

        // The Plots menu opens the three windows, titled after the main window.
        auto* plots = main.findChild<QMenu*>("PlotsMenu");
        ASSERT_NE(plots, nullptr);
        EXPECT_TRUE(plots->menuAction()->isVisible());
        EXPECT_TRUE(plots->menuAction()->isEnabled());
        EXPECT_TRUE(main.findChild<QAction*>("ElevationMaskItem")->isEnabled()); // monitoring
        const QString suffix = main.windowTitle().mid(QString("Telvor to").size());
        EXPECT_EQ(suffix, " VORNA ID:8PZCRG4KZ7E ");
        const std::pair<const char*, TPlotKind> items[] = {
            {"SatellitesPlotItem", TPlotKind::Satellites},
            {"PositionPlotItem", TPlotKind::Position},
            {"ScatterPlotItem", TPlotKind::Scatter}};
        for (const auto& [item, kind] : items) {
            main.findChild<QAction*>(item)->trigger();
            TBasicPlotForm* form = main.plots()->form(kind);
            EXPECT_TRUE(form->isVisible()) << item;
            EXPECT_EQ(form->windowTitle(), form->caption() + suffix) << item;
        }
        // The position window's timer drains the plot store into the plots.
        EXPECT_TRUE(waitFor([&] {
            return !main.plots()
                        ->scatter()
                        ->findChild<QLabel*>("TotalLabel")
                        ->text()
                        .startsWith("0");
        }));
        main.resize(860, 620);
        screenshot(&main, "main-window.png");
        {
            TConnectForm form(*profile, false, main.session().displayData(), &main);
            form.show();
            screenshot(&form, "connection-dialog.png");
        }
        // Target position: taken from the receiver, then the offsets to it are small.
        auto* target = main.findChild<QAction*>("TargetpositionItem");
        ASSERT_NE(target, nullptr);
        EXPECT_TRUE(target->isVisible() && target->isEnabled());
        QTimer::singleShot(0, [] {
            QWidget* form = QApplication::activeModalWidget();
            ASSERT_TRUE(form && form->objectName() == "TargetPositionForm");
            form->findChild<QPushButton*>("QueryButton")->click();
            EXPECT_EQ(form->findChild<QLineEdit*>("LatDEdit")->text(), "50");
            form->findChild<QPushButton*>("OKButton")->click();
        });
        target->trigger();
        EXPECT_NEAR(profile->read(keys::TargetPositionLat), 50.0875 * M_PI / 180, 1e-5);
        EXPECT_TRUE(main.findChild<QLabel*>("TgtLatLabel")->text().startsWith("50"));
        auto* north = main.findChild<QLabel*>("NTTLabel");
        EXPECT_TRUE(waitFor([&] {
            bool ok = false;
            double metres = north->text().section(' ', 0, 0).toDouble(&ok);
            return ok && std::fabs(metres) < 100;
        })) << north->text().toStdString();

        disconnect->trigger();
        EXPECT_EQ(panel->text(), "Disconnected");
        EXPECT_EQ(CurrentConnection, nullptr);
        EXPECT_FALSE(lat->isVisible()); // monitoring left
        EXPECT_EQ(main.plots()->satellites()->windowTitle(), "Satellites (idle)");
        EXPECT_TRUE(plots->menuAction()->isEnabled()); // the past session stays viewable
        EXPECT_FALSE(main.findChild<QAction*>("ElevationMaskItem")->isEnabled());
        main.close();
    }
    EXPECT_FALSE(profile->read(keys::CommAutoServer));
    // Open when the program closed: open again at the next start.
    EXPECT_TRUE(profile->readBool("Plots", "ScatterPlotFormV", false));
}

// The "&File Manager" item makes the file manager when it opens; recording is started and
// stopped from its log page, and the interval it used goes back to the main window.
TEST_F(WindowTest, FileManagerItemOpensTheFileManagerWithItsLogPage) {
    telvorsim::TSimOptions options;
    options.epochWallMs = 100;
    telvorsim::TSimReceiver sim(options);
    std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty()) << sim.lastError();
    profile->write(keys::CommPort, slave);
    profile->write(keys::CommAutoServer, true);

    TQtBridge bridge;
    TMainWindow main(*profile, bridge);
    main.show();
    ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));
    auto* item = main.findChild<QAction*>("FileManagerItem");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isVisible() && item->isEnabled());
    EXPECT_EQ(main.findChild<QDialog*>("FileDownloadForm"), nullptr);

    bool seen = false;
    std::function<void()> drive = [&] {
        QWidget* form = QApplication::activeModalWidget();
        if (!form || form->objectName() != "FileDownloadForm" || !form->isVisible()) {
            QTimer::singleShot(20, drive);
            return;
        }
        seen = true;
        auto* pages = form->findChild<QTabWidget*>("PageControl");
        auto* log = form->findChild<QWidget*>("LogTabSheet");
        ASSERT_TRUE(pages && log);
        EXPECT_EQ(pages->tabText(pages->indexOf(log)), "Current log file");
        pages->setCurrentWidget(log);
        auto* ok = form->findChild<QPushButton*>("ButtonOK");
        EXPECT_EQ(ok->text(), "St&art");
        auto type = [&](const char* name, const char* text) { // as typed: textEdited
            auto* edit = form->findChild<QLineEdit*>(name);
            edit->selectAll();
            edit->insert(text);
        };
        type("RecordingIntervalEdit", "2");
        type("FileNameEdit", "from window");
        ok->click();
        EXPECT_EQ(form->findChild<QLabel*>("CurrentFileLabel")->text(), "from window")
            << form->findChild<QLabel*>("StatusPanel")->text().toStdString();
        EXPECT_FALSE(ok->isEnabled());
        EXPECT_TRUE(sim.file("from window").has_value());
        form->findChild<QPushButton*>("ButtonStop")->click();
        EXPECT_EQ(form->findChild<QLabel*>("CurrentFileLabel")->text(), "<none>");
        EXPECT_TRUE(ok->isEnabled());
        form->findChild<QPushButton*>("ButtonExit")->click();
    };
    QTimer::singleShot(0, drive);
    item->trigger();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(main.isVisible());
    main.close();
    EXPECT_EQ(profile->read(keys::ReceiverRecordingIntervalFile), "2.00");
}

} // namespace
