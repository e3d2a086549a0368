#pragma once
// A session with its own settings in a temporary folder and a simulated receiver on a pty:
// the fixture of the suites that drive the session (or a unit on top of it) against
// telvor-sim. Settings start with a short command timeout.
#include "app/Session.h"
#include "protocol/Link.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Fakeview.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace telvor::testing {

// A receiver with an RFM96 modem on its second port, quick to answer and to boot, and no
// epochs in the way of the modem's exchanges.
inline telvorsim::TSimOptions modemReceiverOptions() {
    telvorsim::TSimOptions options;
    options.epochWallMs = 600000;
    options.modemPort = "/dev/ser/b";
    options.modem.guardMs = 100;
    options.modem.bootMs = 400;
    return options;
}

class TSimSessionFixture : public ::testing::Test {
protected:
    explicit TSimSessionFixture(const std::string& tag = "telvor-session") : tmp(tag) {}

    void SetUp() override {
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        setProfile(profile.get());
        profile->write(keys::CommTimeout, 100);
        session = std::make_unique<TSession>(*profile, view);
    }
    void TearDown() override {
        if (CurrentConnection)
            session->disconnect();
        session.reset();
        if (sim)
            sim->stop();
        setProfile(nullptr);
    }

    // A receiver on a pty; the settings name its slave, and `port` holds it.
    void startSim(const telvorsim::TSimOptions& options) {
        sim = std::make_unique<telvorsim::TSimReceiver>(options);
        port = sim->startPty();
        ASSERT_FALSE(port.empty()) << sim->lastError();
        profile->write(keys::CommPort, port);
    }
    // startSim, then connect with monitoring paused, as a window that asks the receiver does.
    void connectPaused(const telvorsim::TSimOptions& options) {
        ASSERT_NO_FATAL_FAILURE(startSim(options));
        ASSERT_TRUE(session->connect()) << session->lastError();
        ASSERT_EQ(session->pauseMonitoring(), "");
    }

    TTempDir tmp;
    const std::filesystem::path dir = tmp.path;
    std::unique_ptr<TProfile> profile;
    test::TFakeView view;
    std::unique_ptr<TSession> session;
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::string port;
};

} // namespace telvor::testing
