// The manual-mode window offscreen: its controls by name, driven like a user would.
#include "manual/Manualmodeform.h"
#include "app/Qtbridge.h"
#include "protocol/Commstate.h"
#include "settings/Profile.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>

using namespace telvor;
using telvor::testing::TTempDir;

namespace {

class TSession : public TManualSession {
public:
    bool connected() override { return false; }
    bool firmwareRecognised() override { return true; }
    int speedDivisor() override { return 1; }
    void disconnect() override { ++disconnects; }
    void quit() override {}
    int disconnects = 0;
};

class ManualModeWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { telvor::testing::qtApp(); }
    ManualModeWindow() : profile_((dir_ / "telvor.ini").string()) {
        profile_.write(keys::ManualModeDirectory, dir_.path.string());
    }
    ~ManualModeWindow() override {
        commState().SetTerminalSink(nullptr);
        SetInputMode(TInputMode::Idle);
    }
    template <class T> T* find(QWidget& w, const char* name) {
        T* c = w.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    TTempDir dir_{"telvor-manual-window"};
    TProfile profile_;
    TSession session_;
    TQtBridge bridge_;
};

TEST_F(ManualModeWindow, TerminalUse) {
    std::ofstream(dir_ / "hello.vxc") << "@echo off\n@echo Hello @1\n";
    TManualModeForm form(profile_, session_, "@hello world");
    form.show();
    EXPECT_EQ(form.windowTitle(), "Manual Mode");
    EXPECT_TRUE(find<QCheckBox>(form, "LPTCheckBox")->isHidden());
    auto* line = find<QComboBox>(form, "ComboBoxCommandLine");
    auto* memo = find<QPlainTextEdit>(form, "Memo");
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(line->currentText(), "@hello world");
    EXPECT_EQ(find<QLabel>(form, "ScriptPathLabel")->text(),
              "Path: " + QString::fromStdString(dir_.path.string()));

    find<QPushButton>(form, "ButtonSend")->click();
    EXPECT_EQ(memo->toPlainText(), ">Hello world\n");
    ASSERT_EQ(line->count(), 1);
    EXPECT_EQ(line->itemText(0), "@hello world");
    EXPECT_EQ(find<QStatusBar>(form, "StatusBarRealTime")->currentMessage(), "");

    const std::string bytes("A\x07"
                            "B\r\nC",
                            6);
    form.logic().OnTerminalData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(memo->toPlainText(), ">Hello world\nA.B\nC");
    EXPECT_EQ(memo->toPlainText().toStdString(), form.logic().pane().text());

    find<QPushButton>(form, "ClearButton")->click();
    EXPECT_TRUE(memo->toPlainText().isEmpty());

    // Enter in the command line is "Send command".
    line->setEditText("@hello again");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(line->lineEdit(), &enter);
    EXPECT_EQ(memo->toPlainText(), ">Hello again\n");
    EXPECT_EQ(line->count(), 2);

    find<QPushButton>(form, "ButtonExit")->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(session_.disconnects, 0);
}

TEST_F(ManualModeWindow, OnlyStopScriptIsOnWhileAScriptRuns) {
    std::ofstream(dir_ / "slow.vxc") << "@sleep 800\n@echo late\n";
    TManualModeForm form(profile_, session_);
    form.show();
    auto* run = find<QPushButton>(form, "RunScriptButton");
    bool checked = false;
    QTimer::singleShot(200, [&] {
        checked = true;
        EXPECT_EQ(run->text(), "Stop script");
        EXPECT_TRUE(run->isEnabled());
        for (const char* name : {"ButtonSend", "ButtonExit", "StopButton", "ClearButton",
                                 "ButtonDisconnect", "LogButton", "EditScriptButton"})
            EXPECT_FALSE(form.findChild<QPushButton*>(name)->isEnabled()) << name;
        run->click();
    });
    find<QComboBox>(form, "ComboBoxCommandLine")->setEditText("@slow");
    find<QPushButton>(form, "ButtonSend")->click();
    EXPECT_TRUE(checked);
    EXPECT_EQ(find<QStatusBar>(form, "StatusBarRealTime")->currentMessage(), "Interrupted");
    EXPECT_EQ(run->text(), "Load script");
    EXPECT_TRUE(find<QPushButton>(form, "ButtonSend")->isEnabled());
    EXPECT_EQ(find<QPlainTextEdit>(form, "Memo")->toPlainText(), ">@sleep 800\n");
}

TEST_F(ManualModeWindow, SizeAndHistoryAreKept) {
    {
        TManualModeForm form(profile_, session_);
        form.resize(900, 500);
        form.show();
        find<QComboBox>(form, "ComboBoxCommandLine")->setEditText("@nothing");
        find<QPushButton>(form, "ButtonSend")->click();
        EXPECT_EQ(find<QStatusBar>(form, "StatusBarRealTime")->currentMessage(),
                  "Unable to open nothing.vxc");
        form.close();
    }
    EXPECT_EQ(profile_.read(keys::ManualModeW), 900);
    EXPECT_EQ(profile_.read(keys::ManualModeH), 500);
    EXPECT_FALSE(profile_.read(keys::ManualModeMaximized));
    TManualModeForm form(profile_, session_);
    form.show();
    EXPECT_EQ(form.size(), QSize(900, 500));
    auto* line = find<QComboBox>(form, "ComboBoxCommandLine");
    ASSERT_EQ(line->count(), 1);
    EXPECT_EQ(line->itemText(0), "@nothing");
}

} // namespace
