// The receiver configuration window opened from the main window's menu against the simulated
// receiver: monitoring paused while it reads and writes, resumed after it.
#include "app/Confighook.h"
#include "app/Mainwindow.h"
#include "app/Qtbridge.h"
#include "protocol/Commstate.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace telvor;

namespace {

using telvor::testing::waitFor;

TEST(ConfigHook, MenuItemOpensTheConfigurationWithMonitoringPaused) {
    static int argc = 1;
    static char name[] = "test_config_hook";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    telvor::testing::TTempDir tmp("telvor-config-hook");
    TProfile profile((tmp / "telvor.ini").string());
    setProfile(&profile);
    telvorsim::TSimReceiver sim(telvorsim::TSimOptions{});
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty());
    profile.write(keys::CommPort, slave);
    profile.write(keys::CommAutoServer, true);

    TQtBridge bridge;
    {
        TMainWindow main(profile, bridge);
        hookReceiverConfig(main, profile);
        main.show();
        ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));
        auto* item = main.findChild<QAction*>("ReceiverItem");
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isVisible() && item->isEnabled());

        bool seen = false;
        // The form reads its pages before it runs: the check waits for it to be up.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* form = QApplication::activeModalWidget();
            if (!form || form->objectName() != "TReceiverConfigForm" || seen)
                return;
            poll.stop();
            seen = true;
            EXPECT_TRUE(main.isHidden());
            EXPECT_EQ(commState().inputMode.load(), TInputMode::Idle);
            EXPECT_EQ(form->findChild<QLineEdit*>("ELMTermEdit")->text(), "5");
            form->findChild<QCheckBox*>("LPMCheckBox")->click();
            form->findChild<QPushButton*>("ButtonOK")->click();
        });
        poll.start(10);
        item->trigger();
        EXPECT_TRUE(seen);
        EXPECT_TRUE(main.isVisible());
        EXPECT_EQ(commState().inputMode.load(), TInputMode::Monitoring);
        EXPECT_EQ(sim.param("/par/lpm").value_or(""), "on");
        main.close();
    }
    setProfile(nullptr);
}

} // namespace
