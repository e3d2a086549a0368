// The main window started with a recording (`telvor FILE.vxr`): it replays in place of the
// first connect, the monitor shows the file's receiver time, and the replay bar follows it.
#include "app/Mainwindow.h"
#include "app/Qtbridge.h"
#include "links/Replayconnection.h"
#include "settings/Profile.h"
#include "support/Messagemaker.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <fstream>

using namespace telvor;
using namespace telvor::testing;

TEST(ReplayWindow, StartedWithARecordingReplaysItWithItsBar) {
    qtApp();
    TTempDir tmp("telvor-replay-window");
    TProfile profile((tmp / "telvor.ini").string());
    setProfile(&profile);
    std::string bytes;
    for (std::uint32_t s = 0; s < 30; ++s)
        bytes += makeMessage("~~", TPack().put(std::uint32_t(45296000 + 1000 * s)).str()) +
                 makeMessage("||", "");
    std::ofstream(tmp / "site.vxr", std::ios::binary) << bytes;

    TQtBridge bridge;
    {
        TMainWindow main(profile, bridge);
        main.setStartRecording((tmp / "site.vxr").string());
        main.show();
        ASSERT_TRUE(waitFor([&] { return main.session().replaying(); }));
        EXPECT_EQ(main.windowTitle(), "Telvor - site.vxr");
        auto* bar = main.findChild<QWidget*>("ReplayBar");
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(waitFor([&] { return bar->isVisible(); }));
        auto* time = main.findChild<QLabel*>("TimeLabel");
        EXPECT_TRUE(waitFor([&] { return time->isVisible() && time->text().startsWith("12:34:"); }))
            << time->text().toStdString();

        auto* pause = main.findChild<QPushButton*>("ReplayPause");
        pause->click();
        EXPECT_EQ(pause->text(), "Resume");
        EXPECT_TRUE(main.findChild<QPushButton*>("ReplayStep")->isEnabled());
        EXPECT_EQ(main.findChild<QSlider*>("ReplayPosition")->maximum(), 29);
        auto* shown = main.findChild<QLabel*>("ReplayTime");
        EXPECT_TRUE(waitFor([&] { return shown->text() == time->text(); }))
            << shown->text().toStdString() << " / " << time->text().toStdString();

        // To the end at once: the counts stand in the status line.
        auto* speed = main.findChild<QComboBox*>("ReplaySpeed");
        speed->setCurrentIndex(speed->count() - 1);
        emit speed->activated(speed->count() - 1);
        pause->click();
        auto* status = main.findChild<QLabel*>("StatusLine");
        EXPECT_TRUE(waitFor([&] { return status->text().startsWith("Replayed 30 epochs"); }))
            << status->text().toStdString();
        EXPECT_EQ(time->text(), "12:35:25");

        main.findChild<QAction*>("DisconnectItem")->trigger();
        EXPECT_FALSE(main.session().replaying());
        EXPECT_TRUE(waitFor([&] { return !bar->isVisible(); }));
    }
    setProfile(nullptr);
}
