// The main window with its NMEA output on, against telvor-sim: the pty carries the epochs the
// window monitors, with the receiver time the window shows.
#include "app/Mainmonitor.h"
#include "app/Mainwindow.h"
#include "app/Nmeahookwindow.h"
#include "monitor/Monitorstate.h"
#include "nmea/Nmeacontrol.h"
#include "settings/Settingskeys.h"
#include "support/Mainwindowsim.h"

#include <QLabel>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace telvor;

namespace {

telvorsim::TSimOptions fastEpochs() {
    telvorsim::TSimOptions o;
    o.epochWallMs = 200;
    return o;
}

class NmeaWindow : public telvor::testing::TMainWindowSimTest {
protected:
    NmeaWindow() : TMainWindowSimTest("telvor-nmeawin", fastEpochs()) {}
};

} // namespace

TEST_F(NmeaWindow, PtyCarriesTheEpochsTheWindowMonitors) {
    const std::string link = (tmp / "nmea").string();
    profile->write(keys::NmeaOn, true);
    profile->write(keys::NmeaPtyPath, link);
    TMainWindow main(*profile, bridge);
    auto hook = hookNmea(main, *profile);
    main.show();
    ASSERT_TRUE(hook->control().enabled());
    ASSERT_TRUE(telvor::testing::waitFor([&] { return main.session().connected(); }, 30000));
    const int reader = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string got;
    // A whole GGA after the first line break (the reader may have come in mid-sentence).
    ASSERT_TRUE(telvor::testing::waitFor(
        [&] {
            char buf[4096];
            const ssize_t n = ::read(reader, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
            const auto at = got.find("$GNGGA,");
            return at != std::string::npos && got.find("\r\n", at) != std::string::npos;
        },
        30000));
    ::close(reader);
    const std::string gga = got.substr(got.find("$GNGGA,"), 17);
    // "hhmmss" of the GGA is a time the window's TimeLabel showed.
    const std::string hhmmss = gga.substr(7, 6);
    const std::string shown =
        hhmmss.substr(0, 2) + ":" + hhmmss.substr(2, 2) + ":" + hhmmss.substr(4, 2);
    EXPECT_TRUE(telvor::testing::waitFor(
        [&] {
            const std::string t = main.monitor().monitor().view().text("TimeLabel");
            return t >= shown;
        },
        10000))
        << gga;
    auto* label = main.findChild<QLabel*>("NmeaStatusLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().toStdString(), "NMEA: " + link);
}
