// The price of the sharing server: a command's round trip and a 1 MB block download through
// `telvor-cli serve` and an Internet Client, against the same done directly over TCP to
// telvor-sim's Ethernet port. Prints the figures and their ratios; asserts nothing.
#include "app/Qtbridge.h"
#include "app/Session.h"
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
    void startClient() override {
        if (s_.role() != TTCPSharing::TRole::Client)
            s_.StartSharing(TTCPSharing::TRole::Client);
        s_.ActivateClient();
    }
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
        const auto start = Clock::now();
        // The reply's text, not just an "RE" that may still stand in the buffer.
        if (PrintParameter("/par/rcv/model", "<none>", 2000) == "<none>")
            return -1;
        v.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TQtBridge bridge; // the client's sockets run inside the session's waits
    const std::string cli = argc > 1 ? argv[1] : "build/release/src/cli/telvor-cli";
    const auto dir = std::filesystem::temp_directory_path() / "telvor-bench-sharing";
    // A run cut short leaves its settings behind, Internet Client mode among them.
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "direct");
    std::filesystem::create_directories(dir / "client");
    std::filesystem::create_directories(dir / "server");

    // The receiver in its own process, as the server's receiver is.
    const int simPort = freePort();
    const pid_t sim = ::fork();
    if (sim == 0) {
        const std::string port = std::to_string(simPort);
        ::execl(TELVOR_SIM_EXE, TELVOR_SIM_EXE, "--tcp", port.c_str(), "--file", "big:1048576:3",
                nullptr);
        ::_exit(127);
    }
    ::sleep(1);
    const std::string ethr = "--port ETHR --host 127.0.0.1 --tcp-port " + std::to_string(simPort);

    TProfile profile((dir / "direct" / "telvor.ini").string());
    setProfile(&profile);
    test::TFakeView view;
    double directCommand = 0;
    {
        profile.write(keys::CommConnectionType, int(cmDirect));
        profile.write(keys::CommPort, "ETHR");
        profile.write(keys::CommEthrDHost, "127.0.0.1");
        profile.write(keys::CommEthrDTCPPort, simPort);
        TSession session(profile, view);
        if (!session.connect()) {
            std::printf("direct connect failed: %s\n", session.lastError().c_str());
            for (const auto& line : view.status)
                std::printf("  %s\n", line.c_str());
            ::kill(sim, SIGTERM);
            ::waitpid(sim, nullptr, 0);
            return 1;
        }
        directCommand = commandMedian(session);
        session.disconnect();
    }
    double directWall = 0, clientWall = 0;
    const double directKBps = download(cli, ethr, (dir / "direct").string(), directWall);

    const int serverPort = freePort();
    const pid_t server = ::fork();
    if (server == 0) {
        const std::string line = cli + " --settings " + (dir / "server").string() + " " + ethr +
                                 " serve --listen-port " + std::to_string(serverPort);
        ::execl("/bin/sh", "sh", "-c", ("exec " + line).c_str(), nullptr);
        ::_exit(127);
    }
    ::sleep(3);
    double clientCommand = 0;
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
        if (session.connect())
            clientCommand = commandMedian(session);
        session.disconnect();
        profile.write(keys::CommConnectionType, int(cmDirect));
    }
    const double clientKBps =
        download(cli, "--mode client --host 127.0.0.1 --tcp-port " + std::to_string(serverPort),
                 (dir / "client").string(), clientWall);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    setProfile(nullptr);

    std::printf("command round trip, median of %d: direct %.3f ms, through server %.3f ms, "
                "%+.3f ms (target: at most +2 ms)\n",
                kRounds, directCommand, clientCommand, clientCommand - directCommand);
    std::printf("1 MB download: direct %.2f KBps, through server %.2f KBps, ratio %.3f "
                "(target: at least 0.95)\n",
                directKBps, clientKBps, directKBps > 0 ? clientKBps / directKBps : 0.0);
    std::printf("telvor-cli get, connect included: direct %.0f ms, through server %.0f ms, "
                "ratio %.3f\n",
                directWall, clientWall, clientWall > 0 ? directWall / clientWall : 0.0);
    std::filesystem::remove_all(dir);
    return 0;
}
