// Each window of the program opens from the main window's menu against the simulated receiver,
// shows what it got from it, and closes again. With TELVOR_SCREENSHOT_DIR set (scripts/screenshots)
// each is also saved there as the PNG file the README shows.
#include "app/Confighookwindow.h"
#include "app/Mainwindow.h"
#include "app/Manualhookwindow.h"
#include "app/Sharingwindow.h"
#include "support/Mainwindowsim.h"
#include "support/Qtapp.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace telvor;

namespace {

using telvor::testing::waitFor;

void screenshot(QWidget* w, const char* file) {
    const char* dir = std::getenv("TELVOR_SCREENSHOT_DIR");
    if (!dir)
        return;
    QApplication::processEvents();
    w->grab().save(QString("%1/%2").arg(dir, file));
}

// Lets the window's timers and the receiver's replies run for a while.
void settle(int ms) {
    waitFor([] { return false; }, ms);
}

class Screenshots : public telvor::testing::TMainWindowSimTest {
protected:
    Screenshots() : TMainWindowSimTest("telvor-screenshots", options()) {}
    static telvorsim::TSimOptions options() {
        telvorsim::TSimOptions o;
        o.epochWallMs = 200;
        o.files = {{"site0412a", 1843200, 1}, {"site0412b", 921600, 2}, {"base", 262144, 3}};
        return o;
    }

    // Triggers `item`; once the modal window `name` is up, `look` runs on it (it checks what
    // the window shows and saves it), then the window's own close ends it.
    bool openFromMenu(TMainWindow& main, const char* item, const char* name,
                      const std::function<void(QWidget&)>& look) {
        QAction* action = main.findChild<QAction*>(item);
        EXPECT_NE(action, nullptr) << item;
        if (!action)
            return false;
        EXPECT_TRUE(action->isVisible() && action->isEnabled()) << item;
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* form = QApplication::activeModalWidget();
            if (seen || !form || form->objectName() != name || !form->isVisible())
                return;
            poll.stop();
            seen = true;
            look(*form);
            form->close();
        });
        poll.start(20);
        action->trigger();
        EXPECT_TRUE(seen) << name;
        return seen;
    }
};

TEST_F(Screenshots, EveryWindowOpensFromItsMenuItem) {
    TMainWindow main(*profile, bridge);
    hookManualMode(main, *profile, {});
    hookReceiverConfig(main, *profile);
    main.show();
    ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));

    openFromMenu(main, "FileManagerItem", "FileDownloadForm", [](QWidget& form) {
        form.resize(760, 480);
        auto* list = form.findChild<QTreeWidget*>();
        EXPECT_TRUE(waitFor([&] { return list && list->topLevelItemCount() > 0; }));
        screenshot(&form, "file-manager.png");
    });
    openFromMenu(main, "Real-TimeLoggingItem", "TRealTimeForm", [](QWidget& form) {
        form.resize(760, 520);
        settle(2500); // the monitor pages fill from the receiver's messages
        screenshot(&form, "real-time-logging.png");
        if (auto* pages = form.findChild<QTabWidget*>()) {
            for (int i = 0; i < pages->count(); ++i)
                if (pages->tabText(i) == "Select output path")
                    pages->setCurrentIndex(i);
            auto* folder = form.findChild<QLabel*>("OutputPathLabel");
            ASSERT_NE(folder, nullptr);
            EXPECT_FALSE(folder->text().isEmpty()) << "the folder it writes to is shown";
            screenshot(&form, "real-time-logging-path.png");
        }
    });
    openFromMenu(main, "ManualModeItem", "ManualModeForm", [](QWidget& form) {
        form.resize(700, 460);
        auto* line = form.findChild<QComboBox*>("ComboBoxCommandLine");
        ASSERT_NE(line, nullptr);
        line->setEditText("%%print,/par/rcv/model");
        form.findChild<QPushButton*>("ButtonSend")->click();
        settle(800);
        screenshot(&form, "manual-mode.png");
    });
    openFromMenu(main, "ReceiverItem", "TReceiverConfigForm", [](QWidget& form) {
        settle(300);
        screenshot(&form, "configuration.png");
    });
    main.close();
}

// In Internet Server mode the TCP/IP status window shows the server waiting for a client.
TEST_F(Screenshots, TcpStatusWindowOfAServer) {
    // A free port for the server.
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    const int port = ntohs(a.sin_port);
    ::close(s);
    profile->write(keys::CommConnectionType, 2); // Internet Server
    profile->write(keys::CommTCPPort, port);
    profile->write(keys::CommMonitor, true);
    {
        TMainWindow main(*profile, bridge);
        auto sharing = hookSharing(main, *profile);
        main.show();
        ASSERT_TRUE(waitFor([&] { return main.session().connected() && !main.session().busy(); }));
        QWidget* window = nullptr;
        ASSERT_TRUE(waitFor([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "TTCPWindow" && w->isVisible())
                    window = w;
            return window != nullptr;
        }));
        settle(1000);
        window->resize(560, 360);
        screenshot(window, "tcp-status.png");
        main.close();
    }
}

} // namespace
