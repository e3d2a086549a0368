#pragma once
// telvor-cli run as a user would, against a telvor-sim receiver on a pty, with a settings folder
// of its own.
#include "sim/Receiver.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace telvor::testing {

class TCliPtyTest : public ::testing::Test {
protected:
    explicit TCliPtyTest(const std::string& tag) : tmp(tag) {}

    // From SetUp: a failure ends the test there.
    void startReceiver(const telvorsim::TSimOptions& options) {
        sim = std::make_unique<telvorsim::TSimReceiver>(options);
        baud = options.baud;
        slave = sim->startPty();
        ASSERT_FALSE(slave.empty()) << sim->lastError();
    }
    void TearDown() override {
        if (sim)
            sim->stop();
    }

    // `args` follow the receiver's options; standard error joins standard output.
    TRun run(const std::string& args) { return runCommand(commandLine(args) + " 2>&1"); }
    // The same with standard error apart, in `err`.
    TRun runApart(const std::string& args) {
        TRun r = runCommand(commandLine(args) + " 2>" + (tmp / "stderr").string());
        r.err = tmp.read("stderr");
        return r;
    }

    TTempDir tmp;
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::string slave;

private:
    std::string commandLine(const std::string& args) const {
        return std::string(TELVOR_CLI_EXE) + " --settings " + tmp.path.string() + " --port " +
               slave + " --baud " + std::to_string(baud) + " " + args;
    }
    int baud = 0;
};

} // namespace telvor::testing
