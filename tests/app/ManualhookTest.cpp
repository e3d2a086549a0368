// The manual-mode terminal opened from the main window's menu against the simulated receiver:
// monitoring paused around it, the "/run" command line once, typed commands answered.
#include "app/Mainwindow.h"
#include "app/Manualhookwindow.h"
#include "app/Startoptions.h"
#include "protocol/Commstate.h"
#include "support/Mainwindowsim.h"
#include "support/Qtapp.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace telvor;

namespace {

using telvor::testing::waitFor;

class ManualHook : public telvor::testing::TMainWindowSimTest {
protected:
    ManualHook() : TMainWindowSimTest("telvor-manual-hook") {}
};

TEST_F(ManualHook, MenuItemOpensTheTerminalWithMonitoringPaused) {
    {
        TMainWindow main(*profile, bridge);
        hookManualMode(main, *profile, {"/scripts/my setup.vxc", "115200"});
        main.show();
        ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));
        auto* item = main.findChild<QAction*>("ManualModeItem");
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isVisible() && item->isEnabled());

        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* form = QApplication::activeModalWidget();
            ASSERT_TRUE(form && form->objectName() == "ManualModeForm");
            seen = true;
            EXPECT_TRUE(main.isHidden());
            EXPECT_EQ(commState().inputMode.load(), TInputMode::Terminal);
            auto* line = form->findChild<QComboBox*>("ComboBoxCommandLine");
            EXPECT_EQ(line->currentText(), "@\"/scripts/my setup.vxc\" 115200");
            line->setEditText("%%print,/par/rcv/model");
            form->findChild<QPushButton*>("ButtonSend")->click();
            auto* memo = form->findChild<QPlainTextEdit*>("Memo");
            EXPECT_TRUE(waitFor([&] { return memo->toPlainText().contains("%%VORNA"); }))
                << memo->toPlainText().toStdString();
            // Messages were stopped by the pause: nothing but the reply arrived.
            EXPECT_FALSE(memo->toPlainText().contains("~~"));
            form->findChild<QPushButton*>("ButtonExit")->click();
        });
        item->trigger();
        EXPECT_TRUE(seen);
        EXPECT_TRUE(main.isVisible());
        EXPECT_TRUE(main.session().connected());
        EXPECT_EQ(commState().inputMode.load(), TInputMode::Monitoring);

        // The "/run" command line was for the first opening only.
        QTimer::singleShot(0, [&] {
            QWidget* form = QApplication::activeModalWidget();
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->findChild<QComboBox*>("ComboBoxCommandLine")->currentText(), "");
            form->findChild<QPushButton*>("ButtonDisconnect")->click();
        });
        item->trigger();
        EXPECT_FALSE(main.session().connected());
        main.close();
    }
}

// "Manual mode only" (how a "/run" start connects): the terminal instead of a session, and its
// Exit disconnects.
TEST_F(ManualHook, ManualModeOnlyOpensTheTerminalInsteadOfASession) {
    std::ofstream(tmp / "model.vxc") << "@echo off\n%%print,/par/rcv/model\n@echo model @0\n";
    profile->write(keys::CommTerminal, true);
    {
        TMainWindow main(*profile, bridge, true);
        hookManualMode(main, *profile, {(tmp / "model.vxc").string()});
        main.show();
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* form = QApplication::activeModalWidget();
            if (seen || !form || form->objectName() != "ManualModeForm")
                return;
            seen = true;
            EXPECT_EQ(main.session().firmwareVersion(), 0);
            form->findChild<QPushButton*>("ButtonSend")->click();
            auto* memo = form->findChild<QPlainTextEdit*>("Memo");
            EXPECT_TRUE(memo->toPlainText().contains(">model VORNA"))
                << memo->toPlainText().toStdString();
            form->findChild<QPushButton*>("ButtonExit")->click();
        });
        poll.start(20);
        EXPECT_TRUE(waitFor([&] { return seen && !main.session().busy(); }, 10000));
        EXPECT_TRUE(waitFor([&] { return !main.session().connected(); }));
        main.close();
    }
}

TEST(StartOptions, RunKeepsTheScriptsArguments) {
    const char* argv[] = {"telvor", "/run", "/scripts/a.vxc", "115200", "x y"};
    TStartOptions o = parseStartOptions(5, argv);
    EXPECT_EQ(o.action, TStartOptions::Run);
    EXPECT_EQ(o.script, "/scripts/a.vxc");
    EXPECT_EQ(o.scriptArguments, (std::vector<std::string>{"115200", "x y"}));
    const char* bare[] = {"telvor", "/run"};
    EXPECT_EQ(parseStartOptions(2, bare).action, TStartOptions::Usage);
}

} // namespace
