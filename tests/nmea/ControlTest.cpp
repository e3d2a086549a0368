// The window's NMEA output without a window: the toggle and its setting, the dialog's rules,
// the status text; and the menu items and status label in an offscreen main window.
#include "app/Nmeahookwindow.h"
#include "nmea/Nmeacontrol.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace telvor;
using telvor::testing::TTempDir;

namespace {

class NmeaControl : public ::testing::Test {
protected:
    TTempDir tmp{"telvor-nmeactl"};
    TProfile profile{(tmp / "telvor.ini").string()};
    TCommState state;
    std::string link() const { return (tmp / "nmea").string(); }
    TNmeaFields ptyOnly() const { return {true, link(), false, "127.0.0.1:0"}; }
};

} // namespace

TEST_F(NmeaControl, TheDialogRefusesWhatCannotWorkAndSavesNothingThen) {
    TNmeaControl c(profile, state);
    const TNmeaFields before = c.fields();
    EXPECT_EQ(before.ptyPath, "/tmp/telvor-nmea");
    EXPECT_TRUE(before.ptyOn);
    EXPECT_NE(c.apply({true, "", false, ""}), "");
    EXPECT_NE(c.apply({false, link(), true, "no-port"}), "");
    EXPECT_NE(c.apply({false, link(), false, "10110"}), "");
    EXPECT_EQ(c.fields().ptyPath, before.ptyPath);
    // Only the TCP server: the pty stays off after a restart of the program.
    EXPECT_EQ(c.apply({false, link(), true, "127.0.0.1:0"}), "");
    TNmeaControl again(profile, state);
    EXPECT_FALSE(again.fields().ptyOn);
    EXPECT_TRUE(again.fields().tcpOn);
}

TEST_F(NmeaControl, ToggleStartsAttachesAndIsRestoredAtTheNextStart) {
    {
        TNmeaControl c(profile, state);
        ASSERT_EQ(c.apply(ptyOnly()), "");
        EXPECT_EQ(c.restore(), ""); // was never on
        EXPECT_FALSE(c.enabled());
        ASSERT_EQ(c.setEnabled(true), "");
        EXPECT_EQ(state.Tap(), &c.outputs());
        EXPECT_TRUE(fs::is_symlink(link()));
        EXPECT_EQ(c.statusText(), "NMEA: " + link());
        // Settings changed while on take effect at once.
        ASSERT_EQ(c.apply({true, link(), true, "127.0.0.1:0"}), "");
        EXPECT_NE(c.statusText().find(", 127.0.0.1:"), std::string::npos) << c.statusText();
        EXPECT_NE(c.statusText().find("(0 clients)"), std::string::npos);
    }
    // Closed while on: detached, the link gone, and on again at the next start.
    EXPECT_EQ(state.Tap(), nullptr);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link())));
    TNmeaControl next(profile, state);
    EXPECT_EQ(next.restore(), "");
    EXPECT_TRUE(next.enabled());
    next.setEnabled(false);
    EXPECT_FALSE(profile.read(keys::NmeaOn));
}

TEST_F(NmeaControl, AStartThatFailsIsOffAndSaysWhy) {
    TNmeaControl c(profile, state);
    { std::ofstream(tmp / "nmea") << "a file"; }
    ASSERT_EQ(c.apply(ptyOnly()), "");
    EXPECT_NE(c.setEnabled(true), "");
    EXPECT_FALSE(c.enabled());
    EXPECT_EQ(state.Tap(), nullptr);
    EXPECT_FALSE(profile.read(keys::NmeaOn));
}

TEST_F(NmeaControl, MenuToggleAndStatusLabelInTheWindow) {
    telvor::testing::qtApp();
    ASSERT_EQ(TNmeaControl(profile, state).apply(ptyOnly()), "");
    QMainWindow main;
    auto hook = hookNmea(main, profile);
    auto* toggle = main.findChild<QAction*>("NmeaOutputItem");
    auto* label = main.findChild<QLabel*>("NmeaStatusLabel");
    ASSERT_TRUE(toggle && label);
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(hook->control().enabled());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(label->text().toStdString(), "NMEA: " + link());
    toggle->trigger();
    EXPECT_FALSE(hook->control().enabled());
    EXPECT_FALSE(fs::exists(fs::symlink_status(link())));
}
