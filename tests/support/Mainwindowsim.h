#pragma once
// The main window's menu items against telvor-sim on a pty: settings of their own, set to connect
// to the pty without the dialog.
#include "app/Qtbridge.h"
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Qtapp.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace telvor::testing {

class TMainWindowSimTest : public ::testing::Test {
protected:
    explicit TMainWindowSimTest(const std::string& tag, telvorsim::TSimOptions options = {})
        : tmp(tag), sim(std::move(options)) {}

    void SetUp() override {
        qtApp();
        profile = std::make_unique<TProfile>((tmp / "telvor.ini").string());
        setProfile(profile.get());
        slave = sim.startPty();
        ASSERT_FALSE(slave.empty()) << sim.lastError();
        profile->write(keys::CommPort, slave);
        profile->write(keys::CommAutoServer, true);
    }
    void TearDown() override { setProfile(nullptr); }

    TTempDir tmp;
    std::unique_ptr<TProfile> profile;
    telvorsim::TSimReceiver sim;
    std::string slave;
    TQtBridge bridge;
};

} // namespace telvor::testing
