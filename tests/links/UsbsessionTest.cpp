// Telvor's session and telvor-cli over the USB link, with the receiver on the device layer's
// double: connect, monitor, commands, the port list, a reset, and pulling the receiver out.
#include "links/Usbdouble.h"
#include "support/Eventually.h"
#include "support/Fakeview.h"
#include "support/Tempdir.h"

#include "app/Mainmonitor.h"
#include "app/Maintenance.h"
#include "app/Ports.h"
#include "app/Qtbridge.h"
#include "app/Session.h"
#include "cli/Commands.h"
#include "cli/Filecommands.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

namespace telvor::testing {
namespace {

QCoreApplication& qtCore() {
    static int argc = 1;
    static char name[] = "telvor-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

bool pumpUntil(const std::function<bool()>& done, int ms = 5000) {
    return eventually(done, ms, [] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
}

bool listed(const std::string& name) {
    const auto ports = dialogPorts();
    return std::any_of(ports.begin(), ports.end(), [&](const auto& p) { return p.name == name; });
}

class UsbSession : public ::testing::Test {
protected:
    void SetUp() override {
        qtCore();
        ::setenv("XDG_RUNTIME_DIR", tmp.path.c_str(), 1);
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        setProfile(profile.get());
        profile->write(keys::CommTimeout, 200);
        profile->write(keys::CommPort, "USB");
        profile->write(keys::CommUSBDev, "0421873");
        profile->write(keys::CommUSBVendors, "0x1ee7");
        telvorsim::TSimOptions options;
        options.epochWallMs = 200;
        receiver = &bus.addReceiver("0421873", options);
    }
    void TearDown() override {
        if (session && CurrentConnection)
            session->disconnect();
        session.reset();
        CloseReceiverConnection();
        setProfile(nullptr);
    }
    TSession& newSession() {
        session = std::make_unique<TSession>(*profile, view);
        return *session;
    }

    TTempDir tmp{"telvor-usb-session"};
    std::unique_ptr<TProfile> profile;
    TUsbDouble bus;
    TUsbDouble::TDevice* receiver = nullptr;
    TQtBridge bridge;
    test::TFakeView view;
    std::unique_ptr<TSession> session;
};

TEST_F(UsbSession, ConnectsMonitorsAndEndsWhenThePlugIsPulled) {
    EXPECT_TRUE(listed("USB"));
    TSession& s = newSession();
    ASSERT_TRUE(s.connect()) << s.lastError();
    EXPECT_EQ(CurrentConnection->Kind, kLinkUsb);
    EXPECT_EQ(view.panel, "USB");
    EXPECT_EQ(s.identity().port, "/dev/usb/a");
    EXPECT_EQ(receiver->sim->param("/par/out/elm/dev/usb/a"), "-90");
    EXPECT_TRUE(pumpUntil([&] { return !receiver->sim->enabledMessages().empty(); }));

    TMainMonitor monitor(s, *profile, {});
    ASSERT_TRUE(pumpUntil([&] {
        monitor.tick();
        return !monitor.monitor().view().text("TimeLabel").empty();
    }));

    EXPECT_EQ(s.pauseMonitoring(), "");
    EXPECT_EQ(PrintParameter("/par/rcv/model", "", 2000), "VORNA");
    EXPECT_EQ(s.resumeMonitoring(), "");

    bus.unplug(*receiver);
    ASSERT_TRUE(pumpUntil(
        [&] { return monitor.tick() == TMonitorDisplay::TTick::Disconnected || !s.connected(); }));
    EXPECT_EQ(monitor.lostReason(), "Device removed");
    EXPECT_EQ(view.statusLine, "Link lost: Device removed");
    EXPECT_EQ(CurrentConnection, nullptr);
    EXPECT_FALSE(listed("USB"));
}

TEST_F(UsbSession, ResetWaitsForTheReceiverToComeBack) {
    const int before = UsbResetWait;
    UsbResetWait = 300;
    TSession& s = newSession();
    ASSERT_TRUE(s.connect()) << s.lastError();
    TMaintenance maintenance(s, view);
    EXPECT_TRUE(maintenance.resetReceiver());
    UsbResetWait = before;
    EXPECT_EQ(receiver->sim->restarts(), 1);
    EXPECT_TRUE(s.connected());
    EXPECT_NE(std::find(view.notices.begin(), view.notices.end(),
                        "Please wait while receiver is reconnecting"),
              view.notices.end());
    ASSERT_FALSE(view.boxes.empty());
    EXPECT_EQ(view.boxes.back().text, "The receiver has been reset.");
}

struct TCliRun {
    int code;
    std::string out, err;
};

class UsbCli : public UsbSession {
protected:
    TCliRun run(
        int (*command)(TCliContext&), std::vector<std::string> args,
        std::map<std::string, std::string> options = {},
        std::function<void(TConnectionSettings&)> overrides = [](auto&) {}) {
        std::ostringstream out, err;
        TCliContext ctx{.profile = *profile,
                        .overrides = std::move(overrides),
                        .out = out,
                        .err = err,
                        .bridge = &bridge,
                        .args = std::move(args),
                        .options = std::move(options)};
        const int code = command(ctx);
        return {code, out.str(), err.str()};
    }
};

TEST_F(UsbCli, PortsSendAndMonitorAsOverSerial) {
    TCliRun ports = run(runPorts, {});
    EXPECT_NE(ports.out.find("USB\nUSB 0421873\n"), std::string::npos) << ports.out;

    // A port that names the device wins over the stored one.
    profile->write(keys::CommUSBDev, "SOMEOTHER");
    TCliRun send = run(runSend, {"print,/par/rcv/model"}, {},
                       [](TConnectionSettings& s) { s.port = "USB 0421873"; });
    EXPECT_EQ(send.code, 0) << send.err;
    EXPECT_EQ(send.out, "VORNA\n");

    TCliRun connect = run(runConnect, {});
    EXPECT_EQ(connect.code, 1);
    EXPECT_NE(connect.err.find("Can not open device"), std::string::npos) << connect.err;

    profile->write(keys::CommUSBDev, "0421873");
    TCliRun monitor = run(runMonitor, {}, {{"json", ""}, {"seconds", "2"}});
    EXPECT_EQ(monitor.code, 0) << monitor.err;
    EXPECT_NE(monitor.out.find("\"TimeLabel\""), std::string::npos) << monitor.out;
}

TEST_F(UsbCli, PullingThePlugEndsTheMonitor) {
    QTimer::singleShot(2500, [&] { bus.unplug(*receiver); });
    TCliRun monitor = run(runMonitor, {}, {{"json", ""}, {"seconds", "20"}});
    EXPECT_EQ(monitor.code, 1);
    EXPECT_NE(monitor.err.find("Link lost: Device removed: disconnected"), std::string::npos)
        << monitor.err;
}

// A download that loses its receiver ends with the reason instead of asking again for ever.
TEST_F(UsbCli, PullingThePlugEndsADownload) {
    bus.unplug(*receiver);
    telvorsim::TSimOptions options;
    options.files.push_back({"site1", 4u << 20, 7});
    receiver = &bus.addReceiver("0421873", options);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (receiver->sim->blocksSent() > 20)
            bus.unplug(*receiver);
    });
    watch.start(5);
    bool guard = false;
    QTimer::singleShot(20000, [&] {
        guard = true;
        requestCliStop();
    });
    TCliRun get = run(runGet, {"site1"}, {{"dir", tmp.path.string()}});
    EXPECT_FALSE(guard) << "the download went on after the receiver was gone";
    EXPECT_EQ(get.code, 1);
    EXPECT_NE(get.err.find("Device removed"), std::string::npos) << get.err;
}

} // namespace
} // namespace telvor::testing
