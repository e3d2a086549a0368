// The NTRIP window as a user meets it: the stored fields come back, the password is masked
// and goes back to the settings scrambled when the window closes.
#include "ntrip/Ntripwindow.h"
#include "settings/Profile.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"
#include "tests/ntrip/Netpeers.h"

#include <QLineEdit>

namespace telvor::testing {
namespace {

TEST(NtripWindow, FieldsComeBackAndThePasswordStaysMasked) {
    qtApp();
    TTempDir dir("ntrip");
    const std::string ini = (dir / "telvor.ini").string();
    {
        TProfile p(ini);
        TNtripControl::save(p, {"127.0.0.1:2101", "MNT", "u", "hush-hush", "/dev/ttyUSB1", 2, 0});
    }
    TProfile profile(ini);
    {
        TNtripWindow w(profile);
        auto* password = w.findChild<QLineEdit*>("PasswordEdit");
        ASSERT_TRUE(password);
        EXPECT_EQ(password->echoMode(), QLineEdit::Password);
        EXPECT_EQ(password->text(), "hush-hush");
        EXPECT_EQ(w.findChild<QLineEdit*>("MountEdit")->text(), "MNT");
        password->setText("changed-pw");
        if (const char* shot = std::getenv("TELVOR_SCREENSHOT")) {
            w.resize(480, 420);
            w.grab().save(shot);
        }
    }
    EXPECT_EQ(fileText(ini).find("changed-pw"), std::string::npos);
    EXPECT_EQ(TNtripControl::load(profile).password, "changed-pw");
}

} // namespace
} // namespace telvor::testing
