// The receiver configuration window opened from the main window's menu against the simulated
// receiver: monitoring paused while it reads and writes, resumed after it.
#include "app/Confighookwindow.h"
#include "app/Mainwindow.h"
#include "protocol/Commstate.h"
#include "support/Mainwindowsim.h"
#include "support/Qtapp.h"

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

class ConfigHook : public telvor::testing::TMainWindowSimTest {
protected:
    ConfigHook() : TMainWindowSimTest("telvor-config-hook") {}
};

TEST_F(ConfigHook, MenuItemOpensTheConfigurationWithMonitoringPaused) {
    {
        TMainWindow main(*profile, bridge);
        hookReceiverConfig(main, *profile);
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
}

} // namespace
