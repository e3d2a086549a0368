// The About window offscreen: the receiver panel only while a receiver is ours to question,
// the buttons driving the logic, the version label.
#include "support/Tempdir.h"

#include "app/Mainwindow.h"
#include "app/Qtbridge.h"
#include "info/Aboutwindow.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Qtapp.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace telvor;

namespace {

class TContext : public TAboutContext {
public:
    bool connected() const override { return isConnected; }
    int firmwareVersion() const override { return 2001; }
    bool servingSharingClient() const override { return sharing; }
    bool isConnected = false, sharing = false;
};

class TFixedSource : public TParamSource {
public:
    std::string value(const std::string& path) override {
        ++asked;
        return path == "/par/rcv/model" ? "ORBEX" : "1";
    }
    int asked = 0;
};

class AboutWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { telvor::testing::qtApp(); }
    void show(TAboutForm& form) {
        form.show();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
    template <class T> T* find(TAboutForm& form, const char* name) {
        T* w = form.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    telvor::testing::TTempDir tmp{"telvor-aboutwin"};
    TProfile profile{(tmp.path / "telvor.ini").string()};
    TContext context;
    TProgramInfo program{"Telvor", "1.2.3", "May 2, 2026"};
};

} // namespace

TEST_F(AboutWindowTest, PanelHiddenWhileNotConnectedOrServing) {
    for (bool sharing : {false, true}) {
        context.isConnected = sharing;
        context.sharing = sharing;
        TAboutForm form(context, profile, program);
        auto* source = new TFixedSource;
        form.logic().setSource(std::unique_ptr<TParamSource>(source));
        show(form);
        EXPECT_EQ(find<QLabel>(form, "VerAndBuildLabel")->text(),
                  "Version 1.2.3 (Build: May 2, 2026)");
        EXPECT_FALSE(find<QWidget>(form, "ReceiverPanel")->isVisible());
        EXPECT_FALSE(find<QPushButton>(form, "RefreshButton")->isVisible());
        EXPECT_EQ(source->asked, 0);
    }
}

TEST_F(AboutWindowTest, ConnectedShowsTheMemoAndSaves) {
    context.isConnected = true;
    profile.write(keys::ManualModeDirectory, tmp.path.string());
    TAboutForm form(context, profile, program);
    form.logic().setSource(std::make_unique<TFixedSource>());
    std::string folder;
    form.setSaveDialog([&](const std::string& f, const std::string&) {
        folder = f;
        return (tmp.path / "about.txt").string();
    });
    show(form);
    ASSERT_TRUE(find<QWidget>(form, "ReceiverPanel")->isVisible());
    const QString memo = find<QPlainTextEdit>(form, "ReceiverMemo")->toPlainText();
    EXPECT_TRUE(memo.startsWith("Receiver model:\tORBEX\n")) << memo.toStdString();

    find<QPushButton>(form, "SaveButton")->click();
    EXPECT_EQ(folder, tmp.path.string());
    EXPECT_EQ(find<QLabel>(form, "StatusLabel")->text().toStdString(),
              "Saved to " + (tmp.path / "about.txt").string());
    EXPECT_TRUE(std::filesystem::exists(tmp.path / "about.txt"));
    EXPECT_TRUE(find<QPushButton>(form, "RefreshButton")->isEnabled());

    find<QPushButton>(form, "RefreshButton")->click();
    EXPECT_EQ(find<QLabel>(form, "StatusLabel")->text(), "");
}

// The menu item: the window runs modally over the main window with monitoring paused.
TEST_F(AboutWindowTest, MainWindowItemPausesMonitoringAroundTheWindow) {
    telvorsim::TSimOptions options;
    options.epochWallMs = 200;
    telvorsim::TSimReceiver sim(options);
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty()) << sim.lastError();
    profile.write(keys::CommPort, slave);
    profile.write(keys::CommAutoServer, true); // connect without the dialog
    setProfile(&profile);
    auto wait = [](const std::function<bool()>& done) {
        return telvor::testing::eventually(
            done, 10000, [] { QApplication::processEvents(QEventLoop::AllEvents, 20); });
    };
    TQtBridge bridge;
    {
        TMainWindow main(profile, bridge);
        main.show();
        ASSERT_TRUE(wait([&] { return main.session().connected() && !main.session().busy(); }));
        ASSERT_TRUE(wait([&] { return !sim.enabledMessages().empty(); }));
        QAction* item = main.findChild<QAction*>("AboutItem");
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isVisible() && item->isEnabled());

        QString memo;
        bool pausedWhileOpen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* form = qobject_cast<TAboutForm*>(w);
                if (!form || !form->isVisible())
                    continue;
                memo = form->findChild<QPlainTextEdit*>("ReceiverMemo")->toPlainText();
                if (memo.isEmpty())
                    return;
                pausedWhileOpen = sim.enabledMessages().empty();
                if (const char* dir = std::getenv("TELVOR_SCREENSHOT_DIR"))
                    form->grab().save(QString(dir) + "/about.png");
                form->accept();
            }
        });
        poll.start(50);
        item->trigger();
        poll.stop();
        EXPECT_TRUE(memo.startsWith("Receiver model:\tVORNA\n")) << memo.toStdString();
        EXPECT_TRUE(pausedWhileOpen);
        EXPECT_TRUE(wait([&] { return !sim.enabledMessages().empty(); })); // resumed
        main.session().disconnect();
    }
    setProfile(nullptr);
}
