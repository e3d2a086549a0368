// The TCP/IP status window, offscreen: its caption, its close, the status list and the chat
// that works only while a peer is logged in.
#include "server/Tcpwindow.h"
#include "settings/Profile.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace telvor {
namespace {

using testing::qtApp;
using testing::waitFor;

TEST(TcpWindow, ShowsTheServerChatsWithItsClientAndClosesWithoutStoppingIt) {
    qtApp();
    testing::TTempDir tmp("telvor-tcpwindow");
    TProfile profile((tmp / "telvor.ini").string());
    profile.write(keys::CommsBeepOnMessage, false);
    TTCPWindow window(profile);
    EXPECT_EQ(window.windowTitle(), "TCP/IP status window");
    window.show();
    EXPECT_FALSE(window.findChild<QCheckBox*>("BeepCheckBox")->isChecked());
    auto* send = window.findChild<QPushButton*>("SendButton");
    EXPECT_FALSE(send->isEnabled());

    TSharingConfig c;
    c.port = 0;
    c.bindAddress = "127.0.0.1";
    c.logPath = (tmp / "telvor_server.log").string();
    c.dnsLookup = false;
    TTCPSharing& server = window.sharing();
    server.configure(c);
    ASSERT_TRUE(server.StartSharing(TTCPSharing::TRole::Server));
    auto* status = window.findChild<QListWidget*>("StatusList");
    EXPECT_TRUE(status->item(0)->text().startsWith("Server started "));

    TTCPSharing client;
    TSharingConfig cc;
    cc.host = "127.0.0.1";
    cc.port = server.serverPort();
    client.configure(cc);
    client.StartSharing(TTCPSharing::TRole::Client);
    client.ActivateClient();
    ASSERT_TRUE(waitFor([&] { return send->isEnabled(); }));

    window.findChild<QLineEdit*>("ChatEdit")->setText("hello field");
    send->click();
    EXPECT_EQ(window.findChild<QListWidget*>("ChatList")->item(0)->text(), ">hello field");
    EXPECT_TRUE(window.findChild<QLineEdit*>("ChatEdit")->text().isEmpty());
    ASSERT_TRUE(waitFor([&] { return !client.chatLines().empty(); }));
    EXPECT_EQ(client.chatLines().front(), "<hello field");

    // Its own close button hides it, the sharing goes on, and it holds no quit back.
    EXPECT_FALSE(window.testAttribute(Qt::WA_QuitOnClose));
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(server.linkUp());
    client.StopSharing();
    ASSERT_TRUE(waitFor([&] { return !send->isEnabled(); }));
    server.StopSharing();
    EXPECT_NE(tmp.read("telvor_server.log").find("Server stopped"), std::string::npos);
    // What happened while it was closed is there when it is shown again.
    window.show();
    EXPECT_TRUE(status->item(status->count() - 1)->text().startsWith("Server stopped "));
}

} // namespace
} // namespace telvor
