// telvor-cli log against telvor-sim on a pty whose clock runs fast: a series of files that
// survives the receiver going away and coming back, and ends on SIGTERM with exit code 0.
#include "sim/Receiver.h"
#include "support/Eventually.h"
#include "support/Loggable.h"
#include "support/Run.h"
#include "support/Tempdir.h"

#include <gtest/gtest.h>

#include <signal.h>
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
