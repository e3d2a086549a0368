// telvor-cli log against telvor-sim on a pty whose clock runs fast: a series of files that
// survives the receiver going away and coming back, and ends on SIGTERM with exit code 0; a
// disk that fills ends it with exit code 1; the station's unit restarts such a run.
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Loggable.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>

namespace {

using namespace telvor::testing;

TRun cli(const std::string& args) {
    return runCommand(std::string(TELVOR_CLI_EXE) + " " + args + " 2>&1");
}

TEST(CliLog, BadOptionsAreUsageErrors) {
    EXPECT_EQ(cli("log --single a").code, 2);
    EXPECT_EQ(cli("log --dir /tmp").code, 2);
    EXPECT_EQ(cli("log --dir /tmp --single a --prefix b").code, 2);
    EXPECT_EQ(cli("log --dir /tmp --prefix b --unit weeks").code, 2);
    EXPECT_EQ(cli("log --dir /tmp --prefix b --numbering letters").code, 2);
    EXPECT_EQ(cli("log --dir /tmp --prefix b --every -1").code, 2);
}

class TRecordedSim {
public:
    TRecordedSim(const std::string& link) {
        telvorsim::TSimOptions o;
        o.baud = o.defaultBaud = 460800;
        o.epochWallMs = 20;        // a receiver minute in 1.2 s
        o.startMs = 1146664200000; // 2006-05-03 13:50:00
        o.onOutput = [this](const std::uint8_t* b, std::size_t n) {
            std::lock_guard lock(mu_);
            sent_.append(reinterpret_cast<const char*>(b), n);
        };
        sim = std::make_unique<telvorsim::TSimReceiver>(o);
        slave = sim->startPty(link);
    }
    std::string loggable() {
        std::lock_guard lock(mu_);
        return loggableBytes(sent_);
    }
    std::unique_ptr<telvorsim::TSimReceiver> sim;
    std::string slave;

private:
    std::mutex mu_;
    std::string sent_;
};

std::vector<std::string> seriesFiles(const std::filesystem::path& dir) {
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".vxr")
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CliLog, SeriesGoesOnAfterTheReceiverCameBackAndEndsOnSigterm) {
    TTempDir tmp("telvor-cli-log");
    const std::string link = (tmp / "rx").string();
    const std::filesystem::path out = tmp / "data";
    std::ofstream(tmp / "telvor.ini") << "[Comm]\nbaud=460800\n";
    auto first = std::make_unique<TRecordedSim>(link);
    ASSERT_FALSE(first->slave.empty());

    const std::string errFile = (tmp / "stderr.txt").string();
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen(errFile.c_str(), "w", stderr);
        ::execl(TELVOR_CLI_EXE, TELVOR_CLI_EXE, "--settings", tmp.path.c_str(), "--port",
                link.c_str(), "log", "--dir", out.c_str(), "--prefix", "st", "--unit", "minutes",
                nullptr);
        ::_exit(127);
    }
    auto err = [&] { return readAll(errFile); };
    ASSERT_TRUE(eventually(
        [&] { return std::filesystem::exists(out) && seriesFiles(out).size() >= 3; }, 30000))
        << err();
    // The receiver goes away (its pty with it) and comes back on the same port.
    first->sim->stop();
    ASSERT_TRUE(eventually([&] { return err().find("Link lost") != std::string::npos; }, 30000))
        << err();
    const std::size_t before = seriesFiles(out).size();
    TRecordedSim second(link);
    ASSERT_FALSE(second.slave.empty());
    ASSERT_TRUE(eventually([&] { return seriesFiles(out).size() >= before + 2; }, 60000)) << err();
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << err();
    EXPECT_EQ(WEXITSTATUS(status), 0) << err();

    // Count numbering goes on after the reconnect; each run's files are an unbroken part of
    // what its receiver sent.
    const std::vector<std::string> files = seriesFiles(out);
    EXPECT_EQ(std::filesystem::path(files.front()).filename(), "st0000.vxr");
    const std::string sent1 = first->loggable(), sent2 = second.loggable();
    std::string run1, run2;
    for (const std::string& f : files) {
        const std::string bytes = readAll(f);
        if (!run2.empty() || (sent1.find(run1 + bytes) == std::string::npos))
            run2 += bytes;
        else
            run1 += bytes;
    }
    EXPECT_GT(run1.size(), 10000u);
    EXPECT_GT(run2.size(), 1000u);
    EXPECT_NE(sent2.find(run2), std::string::npos) << "the files after the reconnect";
}

} // namespace

namespace {

using namespace telvor::testing;

// A 64 KB disk of its own (tmpfs). Mounting needs root; without it the test is skipped.
class TSmallDisk {
public:
    explicit TSmallDisk(const std::filesystem::path& at) : path(at) {
        std::filesystem::create_directories(at);
        mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TSmallDisk() {
        if (mounted)
            ::umount2(path.c_str(), MNT_DETACH);
    }
    std::filesystem::path path;
    bool mounted = false;
};

// telvor-cli with `args`, its standard error into `errFile`, until it exits or `ms` passed
// (then it is killed and -1 returned).
int runUntilExit(const std::vector<std::string>& args, const std::string& errFile, int ms) {
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(errFile.c_str(), "w", stderr);
        std::vector<char*> argv{const_cast<char*>(TELVOR_CLI_EXE)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TELVOR_CLI_EXE, argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, ms))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

TEST(CliLog, AFullDiskEndsASeriesAndASingleFileWithItsTextAndExitCode1) {
    for (const bool single : {false, true}) {
        SCOPED_TRACE(single ? "--single" : "series");
        TTempDir tmp("telvor-cli-full");
        TSmallDisk disk(tmp / "disk");
        if (!disk.mounted)
            GTEST_SKIP() << "a tmpfs of 64 KB needs root to mount";
        const std::string link = (tmp / "rx").string();
        std::ofstream(tmp / "telvor.ini") << "[Comm]\nbaud=460800\n";
        TRecordedSim sim(link);
        ASSERT_FALSE(sim.slave.empty());
        std::vector<std::string> args{"--settings", tmp.path.string(), "--port",          link,
                                      "log",        "--dir",           disk.path.string()};
        if (single)
            args.insert(args.end(), {"--single", "data"});
        else
            args.insert(args.end(), {"--prefix", "st", "--unit", "minutes"});
        const std::string errFile = (tmp / "stderr.txt").string();
        EXPECT_EQ(runUntilExit(args, errFile, 60000), 1) << readAll(errFile);
        EXPECT_NE(readAll(errFile).find("Disk full or disk error"), std::string::npos)
            << readAll(errFile);
        // What landed is the stream's, and no file of a series is left empty.
        for (const std::string& f : seriesFiles(disk.path)) {
            EXPECT_GT(std::filesystem::file_size(f), 0u) << f;
            EXPECT_NE(sim.loggable().find(readAll(f).substr(0, 4000)), std::string::npos) << f;
        }
    }
}

// A failed run (exit code 1) comes back by itself, ever later, and the unit never gives up.
TEST(CliLog, TheStationUnitRestartsAFailedRunWithABackOff) {
    const std::string unit =
        readAll(std::string(TELVOR_SOURCE_DIR) + "/docs/systemd/telvor-log@.service");
    ASSERT_FALSE(unit.empty());
    for (const char* line : {"\nRestart=on-failure\n", "\nRestartSteps=", "\nRestartMaxDelaySec=",
                             "\nStartLimitIntervalSec=0\n"})
        EXPECT_NE(unit.find(line), std::string::npos) << line;
}

} // namespace
