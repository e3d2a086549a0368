// The price of the sharing server: a command's round trip and a 1 MB block download through
// `telvor-cli serve` and an Internet Client, against the same done directly over TCP to
// telvor-sim's Ethernet port. The download is timed in process from its first block to its
// last (telvor-cli's own figure counts whole seconds), and once more as a whole telvor-cli get.
// Prints the figures and their ratios; asserts nothing.
#include "app/Qtbridge.h"
#include "app/Session.h"
#include "files/Fileio.h"
#include "files/Transferprotocol.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "server/Tcpsharing.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"
#include "tests/support/Fakeview.h"

#include <QCoreApplication>
#include <QTcpServer>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace telvor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 200;

class TClientControl : public TSharingControl {
public:
    explicit TClientControl(TTCPSharing& s) : s_(s) {}
    void show() override {}
    void startClient() override { s_.AttemptClient(); }
    bool linkUp() const override { return s_.linkUp(); }
    bool latencyKnown() const override { return s_.latencyKnown(); }
    bool clientConnected() const override { return false; }
    std::string statusText() const override { return s_.atText(); }

private:
    TTCPSharing& s_;
};

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Median milliseconds of a print-parameter round trip in a connected session.
double commandMedian(TSession& session) {
    session.pauseMonitoring();
    std::vector<double> v;
    for (int i = 0; i < kRounds; ++i) {
        // The last reply still stands in the buffer and would answer at once.
        CurrentConnection->Input.Clear();
        const auto start = Clock::now();
        if (PrintParameter("/par/rcv/model", "<none>", 2000) == "<none>")
            return -1;
        v.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class TTimedView : public TTransferView {
public:
    void setProgress(int) override {}
    void setStatus(const std::string&) override {}
    void showBlocks(int) override {}
    void showRetries(int) override {}
    void enableStop(bool) override {}
    void bytesDone(std::int64_t done, std::int64_t) override {
        const auto now = Clock::now();
        if (firstBytes < 0) {
            first = now;
            firstBytes = done;
        }
        last = now;
        lastBytes = done;
    }
    Clock::time_point first, last;
    std::int64_t firstBytes = -1, lastBytes = 0;
};

// KBps of the 1 MB file in a connected session, from the first block's arrival to the last's.
double sessionKBps(TProfile& profile, const std::filesystem::path& dir) {
    const std::string target = (dir / "big.vxr").string();
    std::filesystem::remove(target);
    TTimedView view;
    TTransferProtocol transfer(view, profile);
    bool ok;
    {
        FileAccess access(target, false, true, false, nullptr);
        ok = transfer.Download(access, "big", true);
    }
    const double seconds = std::chrono::duration<double>(view.last - view.first).count();
    if (!ok || seconds <= 0)
        return -1;
    return double(view.lastBytes - view.firstBytes) / 1024 / seconds;
}

// KBps that `telvor-cli get` reports for the 1 MB file (whole seconds, so coarse); `wallMs`
// gets the whole command's time, connect included.
double download(const std::string& cli, const std::string& args, const std::string& dir,
                double& wallMs) {
    const auto start = Clock::now();
    const std::string line =
        cli + " --settings " + dir + " " + args + " get big --dir " + dir + " 2>&1";
    FILE* p = ::popen(line.c_str(), "r");
    char buf[4096];
    std::string out;
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    ::pclose(p);
    wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const auto at = out.rfind(" KBps");
    if (at == std::string::npos)
        return -1;
    const auto from = out.rfind(' ', at - 1);
    return std::stod(out.substr(from + 1, at - from - 1));
}

// One receiver, reached directly and through a sharing server in front of it.
struct TReceiver {
    std::string name;
    std::vector<std::string> simArgs;
    std::string cliArgs;                   // how telvor-cli reaches it directly
    std::function<void(TProfile&)> direct; // the same for an in-process session
};

struct TFigures {
    double command = 0, session = 0, cliKBps = 0, cliWallMs = 0;
};

pid_t spawn(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
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

bool measure(const std::string& cli, const TReceiver& rx, const std::filesystem::path& dir) {
    for (const char* sub : {"direct", "client", "server"}) {
        std::filesystem::remove_all(dir / sub);
        std::filesystem::create_directories(dir / sub);
    }
    const pid_t sim = spawn(rx.simArgs);
    ::sleep(1);
    TProfile profile((dir / "direct" / "telvor.ini").string());
    setProfile(&profile);
    test::TFakeView view;
    TFigures direct, client;
    {
        profile.write(keys::CommConnectionType, int(cmDirect));
        rx.direct(profile);
        TSession session(profile, view);
        session.setSearchLimit(30000);
        if (!session.connect()) {
            std::printf("%s: direct connect failed: %s\n", rx.name.c_str(),
                        session.lastError().c_str());
            setProfile(nullptr);
            stop(sim);
            return false;
        }
        direct.command = commandMedian(session);
        direct.session = sessionKBps(profile, dir / "direct");
        session.disconnect();
    }
    direct.cliKBps = download(cli, rx.cliArgs, (dir / "direct").string(), direct.cliWallMs);

    const int serverPort = freePort();
    const pid_t server =
        spawn({"/bin/sh", "-c",
               "exec " + cli + " --settings " + (dir / "server").string() + " " + rx.cliArgs +
                   " serve --listen-port " + std::to_string(serverPort)});
    ::sleep(3);
    // A server that did not start would leave the client searching for ever.
    if (::waitpid(server, nullptr, WNOHANG) != 0) {
        std::printf("%s: the server did not start\n", rx.name.c_str());
        setProfile(nullptr);
        stop(sim);
        return false;
    }
    {
        TTCPSharing sharing;
        TSharingConfig c;
        c.host = "127.0.0.1";
        c.port = serverPort;
        sharing.configure(c);
        sharing.install();
        TClientControl control(sharing);
        profile.write(keys::CommConnectionType, int(cmInternetClient));
        TSession session(profile, view);
        session.setSharing(&control);
        session.setSearchLimit(30000);
        if (session.connect()) {
            client.command = commandMedian(session);
            client.session = sessionKBps(profile, dir / "client");
        } else {
            std::printf("%s: client connect failed: %s\n", rx.name.c_str(),
                        session.lastError().c_str());
            for (const auto& line : view.status)
                std::printf("  %s\n", line.c_str());
        }
        session.disconnect();
        profile.write(keys::CommConnectionType, int(cmDirect));
    }
    client.cliKBps =
        download(cli, "--mode client --host 127.0.0.1 --tcp-port " + std::to_string(serverPort),
                 (dir / "client").string(), client.cliWallMs);
    stop(server);
    stop(sim);
    setProfile(nullptr);

    std::printf("%s\n", rx.name.c_str());
    std::printf("  command round trip, median of %d: direct %.3f ms, through server %.3f ms, "
                "%+.3f ms (target: at most +2 ms)\n",
                kRounds, direct.command, client.command, client.command - direct.command);
    std::printf("  1 MB download, first block to last: direct %.1f KBps, through server %.1f "
                "KBps, ratio %.3f (target: at least 0.95)\n",
                direct.session, client.session,
                direct.session > 0 ? client.session / direct.session : 0.0);
    std::printf("  telvor-cli get (its KBps counts whole seconds): direct %.2f KBps in %.0f ms, "
                "through server %.2f KBps in %.0f ms, connect included\n",
                direct.cliKBps, direct.cliWallMs, client.cliKBps, client.cliWallMs);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TQtBridge bridge; // the client's sockets run inside the session's waits
    const std::string cli = argc > 1 ? argv[1] : "build/release/src/cli/telvor-cli";
    const auto dir = std::filesystem::temp_directory_path() / "telvor-bench-sharing";
    // A run cut short leaves its settings behind, Internet Client mode among them.
    std::filesystem::remove_all(dir);
    const std::string file = "big:1048576:3";

    // The simulator's Ethernet port answers as fast as loopback carries: the sharing server's
    // extra hops are most of each block's time.
    const int simPort = freePort();
    const TReceiver tcp{"telvor-sim on TCP, unpaced",
                        {TELVOR_SIM_EXE, "--tcp", std::to_string(simPort), "--file", file},
                        "--port ETHR --host 127.0.0.1 --tcp-port " + std::to_string(simPort),
                        [simPort](TProfile& p) {
                            p.write(keys::CommPort, "ETHR");
                            p.write(keys::CommEthrDHost, "127.0.0.1");
                            p.write(keys::CommEthrDTCPPort, simPort);
                        }};
    // A receiver on a serial port of the computer that serves it, the server's usual case.
    const std::string pty = (dir / "ttyRX").string();
    const TReceiver serial{"telvor-sim on a pty at 460800 Bd",
                           {TELVOR_SIM_EXE, "--pty", pty, "--baud", "460800", "--default-baud",
                            "460800", "--file", file},
                           "--port " + pty + " --baud 460800",
                           [pty](TProfile& p) {
                               p.write(keys::CommPort, pty);
                               p.write(keys::CommBaud, "460800");
                           }};
    std::filesystem::create_directories(dir);
    const bool ok = measure(cli, serial, dir) && measure(cli, tcp, dir);
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
