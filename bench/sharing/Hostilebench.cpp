// What a hostile client costs `telvor-cli serve` (password "bench", loopback, telvor-sim on
// TCP): how long the right client takes to get in while a pair that never proves the password
// holds the slot; a download's speed while the idle connection of the client's own pair
// carries a header flood, against the same download without it; and the server's resident
// memory while a client that knows the password stops reading. Prints figures; asserts nothing.
#include "protocol/Tick.h"
#include "tests/support/Hostilepeer.h"

#include <QHostAddress>
#include <QTcpServer>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace telvor;
using namespace telvor::testing;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "bench";
constexpr int kFileSize = 512 * 1024;
constexpr int kCapSeconds = 60;

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

pid_t spawn(const std::vector<std::string>& args, const std::string& errFile = "/dev/null") {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(errFile.c_str(), "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

long rssKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

struct TBench {
    std::string cli;
    fs::path dir;
    int serverPort = 0;
    pid_t server = 0;

    // A telvor-cli client command through `port`, bounded by `seconds`; its exit code.
    int client(int port, const std::string& args, int seconds) const {
        const std::string line =
            "timeout " + std::to_string(seconds) + " " + cli + " --settings " +
            (dir / "client").string() + " --mode client --host 127.0.0.1 --tcp-port " +
            std::to_string(port) + " --password " + kKey + " " + args + " >/dev/null 2>&1";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Seconds until the right client's command succeeds while a pair that sends only empty
    // packets (valid under every key) holds the server; -1 when not within the cap.
    double slotHold() const {
        const int placeholder = connectLoopback(serverPort);
        ::usleep(100000);
        const int working = connectLoopback(serverPort);
        std::atomic<bool> done{false};
        std::thread keep([&] {
            while (!done) {
                sendMessage(placeholder, "", kKey);
                sendMessage(working, "", kKey);
                for (int i = 0; i < 50 && !done; ++i)
                    ::usleep(100000);
            }
        });
        ::usleep(500000);
        const auto start = Clock::now();
        double in = -1;
        int attempts = 0;
        while (secondsSince(start) < kCapSeconds) {
            ++attempts;
            const int left = int(kCapSeconds - secondsSince(start)) + 1;
            if (client(serverPort, "send print,/par/rcv/model", left) == 0) {
                in = secondsSince(start);
                break;
            }
            ::usleep(500000);
        }
        done = true;
        keep.join();
        ::close(placeholder);
        ::close(working);
        std::printf("  right client in while a hostile pair holds: %s (%d attempts)\n",
                    in < 0 ? ("not within " + std::to_string(kCapSeconds) + " s").c_str()
                           : (std::to_string(in).substr(0, 5) + " s").c_str(),
                    attempts);
        return in;
    }

    // KB/s of a download, from start to the bytes on disk when done or cut at the cap.
    double downloadKBps(int port) const {
        const fs::path target = dir / "client" / "big.vxr";
        fs::remove(target);
        const auto start = Clock::now();
        const int code =
            client(port, "get big --dir " + (dir / "client").string(), kCapSeconds + 15);
        const double seconds = secondsSince(start);
        std::error_code ec;
        const auto bytes = fs::file_size(target, ec);
        const double kb = ec ? 0.0 : double(bytes) / 1024;
        std::printf("    %s: %.0f KB in %.1f s (exit %d)\n", code == 0 ? "done" : "cut or failed",
                    kb, seconds, code);
        return kb / seconds;
    }

    void flood() const {
        TFloodRelay relay(serverPort);
        relay.flood = false;
        std::printf("  download of %d KB through the server, connect included:\n",
                    kFileSize / 1024);
        const double normal = downloadKBps(relay.listenPort());
        relay.flood = true;
        const double flooded = downloadKBps(relay.listenPort());
        std::printf("  download speed: normal %.1f KB/s, under the header flood %.1f KB/s "
                    "(ratio %.3f; flood sent %.1f MB)\n",
                    normal, flooded, normal > 0 ? flooded / normal : 0.0,
                    double(relay.floodBytes.load()) / 1e6);
    }

    // A client that knows the password asks for the whole parameter tree again and again and
    // never reads; it answers the server's pings as if it did.
    void nonReader() const {
        const int placeholder = connectLoopback(serverPort);
        ::usleep(100000);
        const int working = connectLoopback(serverPort, 4096);
        std::atomic<bool> done{false};
        std::atomic<int> asked{0};
        std::thread ask([&] {
            for (int i = 0; !done; ++i, ++asked) {
                if (!sendMessage(working, "WCprint,/:on\r\n", kKey))
                    break;
                if (i % 20 == 0) {
                    std::string echo = "IT";
                    const std::uint32_t now = tickCount();
                    for (int b = 0; b < 4; ++b)
                        echo += char(now >> (8 * b));
                    sendMessage(working, echo, kKey);
                }
                ::usleep(10000);
            }
        });
        const auto start = Clock::now();
        long at10 = -1, at60 = -1;
        while (secondsSince(start) < 60) {
            ::usleep(200000);
            if (at10 < 0 && secondsSince(start) >= 10)
                at10 = rssKb(server);
        }
        at60 = rssKb(server);
        done = true;
        ::shutdown(working, SHUT_RDWR);
        ask.join();
        ::close(placeholder);
        ::close(working);
        std::printf("  RSS of telvor-cli serve with a client that does not read: %.1f MB at "
                    "10 s, %.1f MB at 60 s (%+.1f MB; %d commands asked)\n",
                    at10 / 1024.0, at60 / 1024.0, (at60 - at10) / 1024.0, asked.load());
        std::istringstream log(readFile(dir / "server" / "telvor_server.log"));
        for (std::string line; std::getline(log, line);)
            if (line.find("read") != std::string::npos || line.find("closed") != std::string::npos)
                std::printf("    server log: %s\n", line.c_str());
    }
};

} // namespace

int main(int argc, char** argv) {
    TBench b;
    b.cli = argc > 1 ? argv[1] : "build/release/src/cli/telvor-cli";
    b.dir = fs::temp_directory_path() / "telvor-bench-hostile";
    fs::remove_all(b.dir);
    fs::create_directories(b.dir / "server");
    fs::create_directories(b.dir / "client");
    const int simPort = freePort();
    // --password is also the Ethernet login of the receiver that serve connects to.
    const pid_t sim = spawn({TELVOR_SIM_EXE, "--tcp", std::to_string(simPort), "--password", kKey,
                             "--file", "big:" + std::to_string(kFileSize) + ":3"});
    ::sleep(1);
    b.serverPort = freePort();
    b.server =
        spawn({b.cli, "--settings", (b.dir / "server").string(), "--port", "ETHR", "--host",
               "127.0.0.1", "--tcp-port", std::to_string(simPort), "--password", kKey, "serve",
               "--listen-port", std::to_string(b.serverPort), "--bind", "127.0.0.1"},
              (b.dir / "serve.err").string());
    const auto start = Clock::now();
    while (readFile(b.dir / "server" / "telvor_server.log").find("Server started") ==
               std::string::npos &&
           secondsSince(start) < 20)
        ::usleep(100000);
    if (::waitpid(b.server, nullptr, WNOHANG) != 0 || secondsSince(start) >= 20) {
        std::printf("the server did not start: %s\n", readFile(b.dir / "serve.err").c_str());
        stop(sim);
        return 1;
    }
    std::printf("telvor-cli serve against telvor-sim on TCP\n");
    const bool rssOnly = argc > 2 && std::string(argv[2]) == "--rss-only";
    if (!rssOnly) {
        b.slotHold();
        b.flood();
    }
    b.nonReader();
    stop(b.server);
    stop(sim);
    fs::remove_all(b.dir);
    return 0;
}
