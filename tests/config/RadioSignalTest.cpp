// telvor-sim's SIGUSR1 switches its modem off and on: telvor-cli's "Power cycle" search finds
// the modem in the start-up window it opens, as a surveyor's hand on the switch would. Without
// a modem the signal is reported and the receiver goes on.
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct TChild {
    pid_t pid = -1;
    std::FILE* out = nullptr;
    std::FILE* err = nullptr;

    std::string line(std::FILE* from) {
        char buffer[512];
        return std::fgets(buffer, sizeof buffer, from) ? buffer : "";
    }
    std::string rest(std::FILE* from) {
        std::string text;
        for (std::string l = line(from); !l.empty(); l = line(from))
            text += l;
        return text;
    }
    int wait() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~TChild() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            wait();
        }
        for (std::FILE* f : {out, err})
            if (f)
                std::fclose(f);
    }
};

// Runs `exe` with its standard output and error on pipes.
void spawn(TChild& child, std::vector<std::string> args) {
    int out[2], err[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {out[0], err[0], out[1], err[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    child.out = ::fdopen(out[0], "r");
    child.err = ::fdopen(err[0], "r");
    ASSERT_EQ(rc, 0);
}

class RadioSignalTest : public ::testing::Test {
protected:
    // telvor-sim on a pty; returns the slave's path.
    std::string startSim(std::vector<std::string> extra) {
        std::vector<std::string> args = {TELVOR_SIM_EXE, "--pty", (tmp.path / "tty").string(),
                                         "--epoch-ms", "600000"};
        args.insert(args.end(), extra.begin(), extra.end());
        spawn(sim, args);
        char slave[256] = {}, link[256] = {};
        const std::string ready = sim.line(sim.out);
        return std::sscanf(ready.c_str(), "ready pty %255s %255s", slave, link) == 2 ? slave : "";
    }

    telvor::testing::TTempDir tmp{"telvor-radio-signal"};
    TChild sim;
};

TEST_F(RadioSignalTest, UsrOneOpensTheModemsStartUpWindowForThePowerCycleSearch) {
    const std::string slave = startSim({"--modem", "/dev/ser/b"});
    ASSERT_FALSE(slave.empty());
    TChild cli;
    ASSERT_NO_FATAL_FAILURE(
        spawn(cli, {TELVOR_CLI_EXE, "--settings", tmp.path.string(), "--port", slave, "--baud",
                    "115200", "--verbose", "radio", "get", "--power-cycle"}));
    std::string statuses;
    for (std::string l = cli.line(cli.err); !l.empty(); l = cli.line(cli.err)) {
        statuses += l;
        if (l == "Looking for modem...\n") {
            ASSERT_EQ(::kill(sim.pid, SIGUSR1), 0);
            break;
        }
    }
    ASSERT_NE(statuses.find("Looking for modem..."), std::string::npos) << statuses;
    const std::string pages = cli.rest(cli.out);
    statuses += cli.rest(cli.err);
    EXPECT_EQ(cli.wait(), 0) << statuses;
    EXPECT_NE(pages.find("Serial number: " + std::to_string(0x00A1B2C3)), std::string::npos)
        << pages;
    EXPECT_NE(pages.find("DCE-DTE speed: 19200"), std::string::npos) << pages;

    ASSERT_EQ(::kill(sim.pid, SIGTERM), 0);
    EXPECT_EQ(sim.wait(), 0);
}

TEST_F(RadioSignalTest, UsrOneWithoutAModemIsReportedAndTheReceiverGoesOn) {
    ASSERT_FALSE(startSim({}).empty());
    ASSERT_EQ(::kill(sim.pid, SIGUSR1), 0);
    EXPECT_EQ(sim.line(sim.err), "telvor-sim: no modem to power-cycle (--modem)\n");
    ASSERT_EQ(::kill(sim.pid, SIGTERM), 0);
    EXPECT_EQ(sim.wait(), 0) << "still running until told to stop";
}

} // namespace
