// Round trip of a print-parameter command through the command engine and the input thread,
// against the bare round trip of the same bytes through the same transport, over a pty and
// over TCP with telvor-sim as the receiver; and the time a close takes while the input thread
// waits in WaitEvent.
#include "links/Portio.h"
#include "links/Serialspeed.h"
#include "links/Tcpasyncconn.h"
#include "protocol/Bridge.h"
#include "protocol/Commtools.h"
#include "protocol/Messageformat.h"
#include "sim/Receiver.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace telvor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRounds = 300;
constexpr int kCloseRounds = 100;
constexpr unsigned kBaud = 460800;
const char* kParameter = "/par/rcv/model";

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct TStats {
    double median = 0, p99 = 0, worst = 0;
};

TStats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    TStats s;
    if (v.empty())
        return s;
    s.median = v[v.size() / 2];
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    s.worst = v.back();
    return s;
}

// Reads from `fd` until a whole "RE"/"ER" message is in `got`; false on timeout.
bool readReply(int fd, std::string& got, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (std::size_t i = 0; i + 5 <= got.size(); ++i) {
            if ((got.compare(i, 2, "RE") == 0 || got.compare(i, 2, "ER") == 0) &&
                isMessageHeader(reinterpret_cast<const std::uint8_t*>(got.data() + i))) {
                std::size_t length = messageLength(
                    reinterpret_cast<const std::uint8_t*>(got.data() + i), got.size() - i);
                if (got.size() - i >= length)
                    return true;
            }
        }
        int left = static_cast<int>(ms(deadline - Clock::now()));
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            continue;
        char buffer[4096];
        ssize_t r = ::read(fd, buffer, sizeof buffer);
        if (r <= 0)
            return false;
        got.append(buffer, static_cast<std::size_t>(r));
    }
}

bool waitFor(int fd, const std::string& text, std::string& got, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.find(text) == std::string::npos) {
        int left = static_cast<int>(ms(deadline - Clock::now()));
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            return false;
        char buffer[4096];
        ssize_t r = ::read(fd, buffer, sizeof buffer);
        if (r <= 0)
            return false;
        got.append(buffer, static_cast<std::size_t>(r));
    }
    return true;
}

std::vector<double> baseline(int fd) {
    const std::string line = formatCommandLine(std::string("%%print,") + kParameter);
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        std::string got;
        auto start = Clock::now();
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
            !readReply(fd, got, 2000)) {
            std::fprintf(stderr, "baseline round %d failed\n", i);
            break;
        }
        times.push_back(ms(Clock::now() - start));
        // The receiver ends its reply body with a line feed; it may trail the message.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pollfd p{fd, POLLIN, 0};
        char sink[256];
        while (::poll(&p, 1, 0) > 0 && ::read(fd, sink, sizeof sink) > 0) {
        }
    }
    return times;
}

std::vector<double> engine() {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        auto start = Clock::now();
        if (PrintParameter(kParameter, "<none>", 2000) == "<none>") {
            std::fprintf(stderr, "engine round %d failed\n", i);
            break;
        }
        times.push_back(ms(Clock::now() - start));
    }
    return times;
}

void report(const char* transport, const std::vector<double>& bare,
            const std::vector<double>& link) {
    TStats b = stats(bare), e = stats(link);
    std::printf("%-4s print-parameter round trip over %d rounds (ms)\n", transport, kRounds);
    std::printf("     baseline (bare bytes): median %7.3f  p99 %7.3f\n", b.median, b.p99);
    std::printf("     command engine:        median %7.3f  p99 %7.3f\n", e.median, e.p99);
    std::printf("     engine - baseline:     median %+7.3f (target <= +12 ms)  ratio %.2f\n",
                e.median - b.median, b.median > 0 ? e.median / b.median : 0.0);
}

void reportClose(const char* transport, const std::vector<double>& times) {
    TStats s = stats(times);
    std::printf("%-4s close while the input thread waits, %zu closes (ms): median %.3f  worst "
                "%.3f (target < 100)\n",
                transport, times.size(), s.median, s.worst);
}

bool ptyBench() {
    telvorsim::TSimOptions options;
    options.baud = kBaud;
    telvorsim::TSimReceiver sim(options);
    const std::string port = sim.startPty();
    if (port.empty()) {
        std::fprintf(stderr, "pty: %s\n", sim.lastError().c_str());
        return false;
    }

    // Baseline: the same bytes through a plain descriptor on the same pty.
    int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    SetSerialSpeed(fd, kBaud);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::tcflush(fd, TCIOFLUSH);
    std::vector<double> bare = baseline(fd);
    ::close(fd);

    if (!CreateReceiverConnection(port, {}).empty() || !CurrentConnection->SetSpeed(kBaud) ||
        !Synchronise(3)) {
        std::fprintf(stderr, "pty: the link did not come up\n");
        return false;
    }
    std::vector<double> link = engine();
    CloseReceiverConnection();
    report("pty", bare, link);

    std::vector<double> closes;
    for (int i = 0; i < kCloseRounds; ++i) {
        if (!CreateReceiverConnection(port, {}).empty())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // into WaitEvent
        auto start = Clock::now();
        CloseReceiverConnection();
        closes.push_back(ms(Clock::now() - start));
    }
    reportClose("pty", closes);
    return true;
}

int connectTcp(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool linkLogin() {
    auto until = [](const char* text) {
        auto deadline = Clock::now() + std::chrono::seconds(5);
        while (ReplyText(0).find(text) == std::string::npos) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    };
    if (!until("login:") || !CurrentConnection->WriteRaw("\r\n") || !until("Password:") ||
        !CurrentConnection->WriteRaw("\r\n"))
        return false;
    for (int i = 0; i < 10; ++i)
        if (SendLine("##\ndm\n%%") && AwaitReply("RE", 200))
            return Synchronise(3);
    return false;
}

bool tcpBench() {
    telvorsim::TSimReceiver sim;
    const int port = sim.startTcp(0);
    if (port <= 0) {
        std::fprintf(stderr, "tcp: %s\n", sim.lastError().c_str());
        return false;
    }

    int fd = connectTcp(port);
    std::string got;
    if (fd < 0 || !waitFor(fd, "login:", got, 5000) || ::write(fd, "\r\n", 2) != 2 ||
        !waitFor(fd, "Password:", got, 5000) || ::write(fd, "\r\n", 2) != 2) {
        std::fprintf(stderr, "tcp: no login\n");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<double> bare = baseline(fd);
    ::close(fd);
    while (sim.peerConnected())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    TLinkSettings settings;
    settings.ethrHost = "127.0.0.1";
    settings.ethrPort = std::to_string(port);
    auto open = [&] {
        TEvent done;
        return CreateReceiverConnection("ETHR", settings).empty() &&
               CurrentConnection->StartConnect(&done) && done.Wait(5000) &&
               CurrentConnection->ErrorText().empty();
    };
    if (!open() || !linkLogin()) {
        std::fprintf(stderr, "tcp: the link did not come up\n");
        return false;
    }
    std::vector<double> link = engine();
    CloseReceiverConnection();
    report("tcp", bare, link);

    std::vector<double> closes;
    for (int i = 0; i < kCloseRounds; ++i) {
        while (sim.peerConnected())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!open())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // into WaitEvent
        auto start = Clock::now();
        CloseReceiverConnection();
        closes.push_back(ms(Clock::now() - start));
    }
    reportClose("tcp", closes);
    return true;
}

} // namespace

int main() {
    TPlainBridge bridge;
    setUiBridge(&bridge);
    bool ok = ptyBench();
    ok = tcpBench() && ok;
    setUiBridge(nullptr);
    return ok ? 0 : 1;
}
