// "Receiver Configuration" offscreen: the pages read at creation, OK writing only what
// changed, a refused parameter keeping the window open, Save's script, defaults, Exit's
// question, the first size.
#include "config/Receiverconfigform.h"

#include "config/Configscript.h"
#include "config/Fakeparams.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"
#include "support/Tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace telvor;
using telvor::testing::TFakeParams;

namespace {

class ReceiverconfigformTest : public ::testing::Test {
protected:
    // A desktop screen of 1920 x 1080 (the offscreen default is 800 x 800).
    static void SetUpTestSuite() {
        static int argc = 1;
        static char arg0[] = "test";
        static char* argv[] = {arg0, nullptr};
        if (QApplication::instance())
            return;
        const auto json = std::filesystem::temp_directory_path() /
                          ("telvor-screen-" + std::to_string(::getpid()) + ".json");
        std::ofstream(json) << R"({"screens": [{"name": "desk", "x": 0, "y": 0, "width": 1920,
            "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + json.string()).c_str(), 1);
        new QApplication(argc, argv);
        std::filesystem::remove(json);
    }
    void SetUp() override {
        rx.values = {{"/par/out/elm/cur/term", "5"}, {"/par/ant/inp", "int"},
                     {"/par/pwr/mode", "ext"},       {"/par/lpm", "off"},
                     {"/par/rcv/model", "DARVO"},    {"/par/pwr/ports", "on"},
                     {"/par/dev/thermo/out", "-70"}};
    }
    template <class W> W* find(QWidget& form, const char* name) { return form.findChild<W*>(name); }
    // Answers the next message box with `button` and keeps its text.
    void answer(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->text().toStdString();
            box->button(button)->click();
        });
    }
    TFakeParams rx;
    std::string asked;
};

TEST_F(ReceiverconfigformTest, PagesAreReadAtCreation) {
    TReceiverConfigForm form(rx, rx);
    EXPECT_EQ(form.windowTitle(), "Receiver Configuration");
    auto* tabs = find<QTabWidget>(form, "ConfigPages");
    ASSERT_EQ(tabs->count(), 10);
    EXPECT_EQ(tabs->tabText(1), "Tavrex");
    EXPECT_TRUE(tabs->isTabEnabled(0));
    EXPECT_TRUE(tabs->isTabEnabled(9));
    EXPECT_EQ(find<QLineEdit>(form, "ELMTermEdit")->text(), "5");
    EXPECT_EQ(find<QComboBox>(form, "PowerModeComboBox")->currentText(), "External");
    EXPECT_EQ(find<QComboBox>(form, "PortsPowerComboBox")->currentText(), "On");
    EXPECT_FALSE(find<QLineEdit>(form, "TemperatureEdit")->isEnabled());
    EXPECT_FALSE(find<QWidget>(form, "ChargerModeComboBox")->isEnabled());
    EXPECT_FALSE(find<QPushButton>(form, "GeneralApplyButton")->isEnabled());
    EXPECT_FALSE(form.findChild<QWidget*>("WaitWindow"));
}

TEST_F(ReceiverconfigformTest, OkWritesOnlyChangedPagesAndCloses) {
    TReceiverConfigForm form(rx, rx);
    find<QPushButton>(form, "ButtonOK")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(rx.sets.empty());

    TReceiverConfigForm again(rx, rx);
    find<QCheckBox>(again, "LPMCheckBox")->click();
    find<QPushButton>(again, "ButtonOK")->click();
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(rx.values["/par/lpm"], "on");
}

TEST_F(ReceiverconfigformTest, RefusedParameterKeepsTheWindowOpen) {
    TReceiverConfigForm form(rx, rx);
    form.show();
    rx.refused.insert("/par/lpm");
    find<QCheckBox>(form, "LPMCheckBox")->click();
    find<QPushButton>(form, "ButtonOK")->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(find<QStatusBar>(form, "StatusBar")->currentMessage(), "Can't set Low Power Mode");
    EXPECT_TRUE(find<QPushButton>(form, "ButtonOK")->isEnabled());
    EXPECT_TRUE(find<QPushButton>(form, "GeneralApplyButton")->isEnabled());
    form.done(QDialog::Rejected);
}

TEST_F(ReceiverconfigformTest, SaveWritesTheScript) {
    telvor::testing::TTempDir tmp{"telvor-config-save"};
    const auto file = tmp.path / "setup.vxc";
    TReceiverConfigForm form(rx, rx);
    form.setProgram("1.2.3", "May 2, 2026");
    ASSERT_TRUE(form.saveTo(QString::fromStdString(file.string())));
    EXPECT_EQ(find<QStatusBar>(form, "StatusBar")->currentMessage(),
              QString::fromStdString("Saved to " + file.string()));
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    EXPECT_EQ(text.rfind("@echo off\n# This script configures a receiver\n"
                         "# Generated by Telvor 1.2.3 (May 2, 2026)\n@clear\n",
                         0),
              0u);
    EXPECT_NE(text.find("\n@:IsDARVO\n"), std::string::npos);
    EXPECT_NE(text.find("\n@:/dev/ser/d\n%print,/par/cur/term/rate%print,/par/cur/term/rate\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n@:/dev/tcp/e\n%init parameters%init,/par/\n@sleep 300\n"
                        "@goto InitComplete\n@:InitComplete\n@echo General parameters\n"
                        "%/par/out/elm/cur/term%set,/par/out/elm/cur/term,5\n"
                        "%/par/ant/inp%set,/par/ant/inp,int\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("%/par/pwr/ports%set,/par/pwr/ports,on\n"), std::string::npos);
    EXPECT_EQ(text.find("/par/pwr/charge/bat"), std::string::npos);
    EXPECT_TRUE(text.ends_with("@echo Advanced parameters\n@echo Done!\n# End of script\n"));
    EXPECT_TRUE(rx.sets.empty());
}

TEST_F(ReceiverconfigformTest, DefaultsCloseWithoutWriting) {
    TReceiverConfigForm form(rx, rx);
    bool asked = false;
    QObject::connect(&form, &TReceiverConfigForm::setDefaults, [&] { asked = true; });
    find<QPushButton>(form, "ButtonDefaults")->click();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(form.defaultsRequested());
    EXPECT_TRUE(rx.sets.empty());
}

TEST_F(ReceiverconfigformTest, DefaultsKeepTheGpsGloChoiceForTheNextOpening) {
    telvor::testing::TTempDir tmp{"telvor-config-defaults"};
    TProfile profile((tmp.path / "telvor.ini").string());
    {
        TReceiverConfigForm form(rx, rx);
        form.setProfile(profile);
        EXPECT_TRUE(find<QRadioButton>(form, "GPSGLNAtOneTimeRadioButton")->isChecked());
        find<QRadioButton>(form, "GPSGLNSeparatelyRadioButton")->click();
        find<QPushButton>(form, "ButtonDefaults")->click();
    }
    EXPECT_FALSE(profile.read(keys::BaseGPSGLNAtOneTime));
    TReceiverConfigForm again(rx, rx);
    again.setProfile(profile);
    EXPECT_TRUE(find<QRadioButton>(again, "GPSGLNSeparatelyRadioButton")->isChecked());
}

TEST_F(ReceiverconfigformTest, ExitAsksBeforeDroppingUnappliedChanges) {
    TReceiverConfigForm form(rx, rx);
    form.show();
    find<QCheckBox>(form, "LPMCheckBox")->click();
    answer(QMessageBox::No);
    find<QPushButton>(form, "ButtonExit")->click();
    EXPECT_EQ(asked, kExitUnapplied);
    EXPECT_TRUE(form.isVisible());
    answer(QMessageBox::Yes);
    form.close(); // the close box asks too
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_TRUE(rx.sets.empty());

    // Nothing to lose: no question.
    TReceiverConfigForm clean(rx, rx);
    clean.show();
    asked.clear();
    find<QPushButton>(clean, "ButtonExit")->click();
    EXPECT_FALSE(clean.isVisible());
    EXPECT_TRUE(asked.empty());
}

TEST_F(ReceiverconfigformTest, SaveAddsTheScriptExtensionWhenNoneIsTyped) {
    telvor::testing::TTempDir tmp{"telvor-config-name"};
    TReceiverConfigForm form(rx, rx);
    ASSERT_TRUE(form.saveTo(QString::fromStdString((tmp.path / "setup").string())));
    const auto file = tmp.path / "setup.vxc";
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(tmp.path / "setup"));
    EXPECT_EQ(find<QStatusBar>(form, "StatusBar")->currentMessage(),
              QString::fromStdString("Saved to " + file.string()));
    ASSERT_TRUE(form.saveTo(QString::fromStdString((tmp.path / "setup.txt").string())));
    EXPECT_TRUE(std::filesystem::exists(tmp.path / "setup.txt"));
    EXPECT_EQ(ConfigScriptName("/a.b/conf"), "/a.b/conf.vxc");
    EXPECT_EQ(ConfigScriptName("conf.wqc"), "conf.wqc");
}

// Every page gets the room it asks for at the first size. TELVOR_SCREENSHOT names a folder for
// a PNG of each page to look at.
TEST_F(ReceiverconfigformTest, FirstSizeFitsTheLargestPage) {
    TReceiverConfigForm form(rx, rx);
    form.show();
    auto* tabs = find<QTabWidget>(form, "ConfigPages");
    const char* shots = std::getenv("TELVOR_SCREENSHOT");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        const std::string page = tabs->tabText(i).toStdString();
        const QSize area = tabs->currentWidget()->size();
        const QSize wanted = tabs->widget(i)->sizeHint();
        EXPECT_GE(area.width(), wanted.width()) << page;
        EXPECT_GE(area.height(), wanted.height()) << page;
        if (!shots)
            continue;
        QApplication::processEvents(); // the page lays itself out once shown
        EXPECT_TRUE(
            form.grab().save(QString::fromStdString(std::string(shots) + "/" + page + ".png")));
    }
}

} // namespace
