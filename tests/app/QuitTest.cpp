// The desktop program ends through its normal close whatever window is open: the real
// `telvor` executable, offscreen, against telvor-sim on a pty, ended by real signals.
#include "settings/Profile.h"
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Tempdir.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace telvor {
namespace {

using telvor::testing::eventually;

class QuitTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void writeSettings(const std::string& ini) {
        std::ofstream(tmp_ / "telvor.ini", std::ios::binary) << ini;
    }
    // posix_spawn, not fork: the simulator's thread runs in this process.
    void start() {
        const std::string settings = tmp_.path.string();
        const std::string output = (tmp_ / "output").string();
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + settings};
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 &&
                std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
                env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = TELVOR_GUI_EXE, flag = "--settings", folder = settings;
        char* argv[] = {program.data(), flag.data(), folder.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const int error =
            ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(error, 0) << program;
    }
    std::string settings() const { return tmp_.read("telvor.ini"); }
    std::string setting(const char* section, const char* key) const {
        return TProfile((tmp_ / "telvor.ini").string()).readString(section, key, "");
    }
    // The exit code after `signal`, or -1 when the program is still running after 15 s (or
    // did not exit normally).
    int stopWith(int signal) {
        ::kill(pid_, signal);
        int status = 0;
        const bool ended =
            eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 15000);
        if (!ended)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    telvor::testing::TTempDir tmp_{"telvor-quit"};
    pid_t pid_ = -1;
};

// The start-up connection dialog is open: each stop signal ends the program, settings written.
TEST_F(QuitTest, EachStopSignalEndsTheConnectionDialog) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        writeSettings("[Comm]\nport=/dev/telvor-no-such-port\n");
        start();
        // The connect writes this just before it shows the dialog.
        ASSERT_TRUE(
            eventually([&] { return settings().find("AutoServer=0") != std::string::npos; }, 20000))
            << tmp_.read("output");
        ::usleep(500 * 1000);
        EXPECT_EQ(stopWith(signal), 0) << tmp_.read("output");
        EXPECT_NE(setting("MainWindow", "H"), "") << settings();
    }
}

// Monitoring with the debug window open: SIGTERM gives the receiver its elevation mask back
// and writes both windows' settings.
TEST_F(QuitTest, SigtermWithTheDebugWindowOpenRestoresTheMask) {
    telvorsim::TSimReceiver sim;
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty()) << sim.lastError();
    const std::string mask = "/par/out/elm" + sim.portName();
    const std::string before = sim.param(mask).value_or("?");
    writeSettings("[Comm]\nport=" + slave + "\nAutoServer=1\n[Debug]\nShowDebugWindow=1\n");
    start();
    ASSERT_TRUE(eventually([&] { return sim.param(mask) == "-90"; }, 30000)) << tmp_.read("output");
    ASSERT_TRUE(eventually([&] { return !sim.enabledMessages().empty(); }, 10000));
    EXPECT_EQ(stopWith(SIGTERM), 0) << tmp_.read("output");
    EXPECT_EQ(sim.param(mask), before);
    EXPECT_TRUE(sim.enabledMessages().empty());
    EXPECT_NE(setting("MainWindow", "H"), "") << settings();
    EXPECT_EQ(setting("Debug", "ShowDebugWindow"), "1");
    EXPECT_NE(setting("Debug", "W"), "") << "the debug window's size";
}

// "Manual mode only" opens the terminal inside the connect: SIGTERM closes it the way its own
// close does (its history is written), then the program.
TEST_F(QuitTest, SigtermWithTheTerminalOpen) {
    telvorsim::TSimReceiver sim;
    const std::string slave = sim.startPty();
    ASSERT_FALSE(slave.empty()) << sim.lastError();
    writeSettings("[Comm]\nport=" + slave + "\nAutoServer=1\nTerminal=1\n");
    start();
    ASSERT_TRUE(
        eventually([&] { return settings().find("AutoServer=0") != std::string::npos; }, 20000))
        << tmp_.read("output");
    ::usleep(1500 * 1000);
    EXPECT_EQ(stopWith(SIGTERM), 0) << tmp_.read("output");
    EXPECT_NE(setting("ManualMode", "Commands"), "") << settings();
    EXPECT_NE(setting("MainWindow", "H"), "") << settings();
}

} // namespace
} // namespace telvor
