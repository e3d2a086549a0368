// The TCP/IP status window hooked into the main window, offscreen: once hooked, the connection
// dialog can store the sharing password, also in Internet Server mode.
#include "app/Sharingwindow.h"
#include "app/Connectform.h"
#include "app/Mainwindow.h"
#include "app/Qtbridge.h"
#include "protocol/Connectionmode.h"
#include "server/Tcpsharing.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace telvor {
namespace {

TEST(SharingWindow, ServerPasswordCanBeSetInTheConnectionDialogOnceSharingIsHooked) {
    testing::qtApp();
    testing::TTempDir tmp("telvor-sharingwindow");
    TProfile profile((tmp / "telvor.ini").string());
    setProfile(&profile);
    profile.write(keys::CommConnectionType, int(cmInternetServer));
    TQtBridge bridge;
    {
        TMainWindow main(profile, bridge);
        auto sharing = hookSharing(main, profile);
        TConnectForm form(profile, false, false, nullptr);
        auto* password = form.findChild<QLineEdit*>("PasswordEdit");
        ASSERT_NE(password, nullptr);
        EXPECT_TRUE(password->isEnabled());
        password->setText("field secret");
        form.findChild<QPushButton*>("ButtonOK")->click();
        EXPECT_EQ(readSharingConfig(profile).password, "field secret");
        EXPECT_NE(profile.readString("Comm", "Password", ""), "field secret"); // not in clear
    }
    setProfile(nullptr);
}

} // namespace
} // namespace telvor
