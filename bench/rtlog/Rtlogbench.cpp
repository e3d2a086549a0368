// Real-time logging as an unattended station runs it: telvor-sim and telvor-cli log as separate
// processes. Prints the processor time telvor-cli spent per MB logged and as a share of one
// core, and whether the files hold exactly what the receiver sent (less replies and
// satellite-view texts). `--day` logs 24 hours of receiver time hourly at 460800 Bd with the
// receiver's clock running fast, and checks the series the same way.
#include "tests/support/Loggable.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

pid_t spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr))
            ::_exit(127);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

std::vector<fs::path> vxrFiles(const fs::path& dir) {
    std::vector<fs::path> files;
    if (fs::is_directory(dir))
        for (auto& e : fs::directory_iterator(dir))
            if (e.path().extension() == ".vxr")
                files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

struct TRunResult {
    double wallS = 0, cpuS = 0;
    std::size_t logged = 0, files = 0;
    bool exact = false;
    int exitCode = -1;
};

// One station run: the receiver on a pty, telvor-cli logging until `done` says so.
TRunResult station(const fs::path& work, const std::vector<std::string>& simArgs,
                   const std::vector<std::string>& logArgs,
                   const std::function<bool(const fs::path&)>& done) {
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path link = work / "rx", record = work / "sent.raw", dir = work / "data";
    std::ofstream(work / "telvor.ini") << "[Comm]\nbaud=460800\n";
    std::vector<std::string> sim = {TELVOR_SIM_EXE, "--pty", link.string(), "--record",
                                    record.string()};
    sim.insert(sim.end(), simArgs.begin(), simArgs.end());
    const pid_t simPid = spawn(sim, work / "sim.out", work / "sim.err");
    while (!fs::exists(link))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<std::string> cli = {TELVOR_CLI_EXE, "--settings", work.string(), "--port",
                                    link.string(),  "log",        "--dir",       dir.string()};
    cli.insert(cli.end(), logArgs.begin(), logArgs.end());
    const auto start = std::chrono::steady_clock::now();
    const pid_t cliPid = spawn(cli, work / "cli.out", work / "cli.err");
    while (!done(dir))
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(cliPid, SIGTERM);
    int status = 0;
    rusage use{};
    ::wait4(cliPid, &status, 0, &use);
    TRunResult r;
    r.wallS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpuS = use.ru_utime.tv_sec + use.ru_stime.tv_sec +
             (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ::kill(simPid, SIGTERM);
    ::waitpid(simPid, &status, 0);

    std::string logged;
    const auto files = vxrFiles(dir);
    for (const fs::path& f : files)
        logged += readAll(f);
    r.files = files.size();
    r.logged = logged.size();
    r.exact = !logged.empty() &&
              telvor::testing::loggableBytes(readAll(record)).find(logged) != std::string::npos;
    return r;
}

void print(const char* what, const TRunResult& r) {
    const double mb = r.logged / 1e6;
    std::printf("%s: %zu files, %.2f MB in %.1f s (%.1f KB/s), telvor-cli %.2f s CPU = %.2f s/MB "
                "= %.1f%% of one core; byte-exact: %s; exit %d\n",
                what, r.files, mb, r.wallS, r.logged / 1e3 / r.wallS, r.cpuS,
                mb > 0 ? r.cpuS / mb : 0.0, 100.0 * r.cpuS / r.wallS, r.exact ? "yes" : "NO",
                r.exitCode);
}

} // namespace

int main(int argc, char** argv) {
    const bool day = argc > 1 && std::strcmp(argv[1], "--day") == 0;
    const fs::path work =
        fs::temp_directory_path() / ("telvor-bench-rtlog-" + std::to_string(::getpid()));
    const std::vector<std::string> rate = {"--baud", "460800", "--default-baud", "460800"};
    if (!day) {
        // About 46 KB/s: a fast epoch of the logging message set fills the 460800 Bd port.
        std::vector<std::string> sim = rate;
        sim.insert(sim.end(), {"--epoch-ms", "11"});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        TRunResult r = station(work / "pty", sim, {"--single", "pty.vxr"}, [&](const fs::path&) {
            return std::chrono::steady_clock::now() >= until;
        });
        print("pty 460800 Bd", r);
    } else {
        // 24 h from 13:30 over midnight: the partial first hour, 24 whole ones, and the file
        // the last switch opened.
        std::vector<std::string> sim = rate;
        sim.insert(sim.end(), {"--epoch-ms", "14", "--start", "2006-05-03 13:30:00"});
        TRunResult r = station(work / "day", sim, {"--prefix", "day", "--unit", "hours"},
                               [](const fs::path& dir) { return vxrFiles(dir).size() >= 26; });
        print("24 h hourly", r);
    }
    fs::remove_all(work);
    return 0;
}
