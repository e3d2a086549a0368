// A caster of our own sends 100-byte messages at 10 kB/s to telvor-cli ntrip, which writes
// them to a pty; each message carries its number, and the time from the caster's send to the
// bytes at the pty's other end is the latency the client adds. CPU is the client's user and
// system time over the run.
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMessages = 800, kSize = 100, kPerSecond = 100; // 10 kB/s for 8 s

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The pty alone, written from here at the same pace: what the kernel's tty layer adds.
std::vector<double> ptyBaseline(int messages) {
    int master = -1, slave = -1;
    termios raw{};
    ::cfmakeraw(&raw);
    std::vector<double> out;
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0)
        return out;
    char message[kSize] = {};
    for (int i = 0; i < messages; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(1000000 / kPerSecond));
        const auto t = Clock::now();
        if (::write(slave, message, sizeof message) != kSize)
            break;
        for (std::size_t got = 0; got < sizeof message;) {
            pollfd p{master, POLLIN, 0};
            ::poll(&p, 1, 1000);
            char buffer[kSize];
            const ssize_t n = ::read(master, buffer, sizeof buffer - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        out.push_back(ms(Clock::now() - t));
    }
    ::close(master);
    ::close(slave);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

int main() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string port = std::to_string(ntohs(a.sin_port));

    int master = -1, slave = -1;
    char name[128];
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0)
        return std::perror("openpty"), 1;
    ::close(slave);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::freopen("/dev/null", "w", stderr);
        ::execl(TELVOR_CLI_EXE, TELVOR_CLI_EXE, "ntrip", "--caster", ("127.0.0.1:" + port).c_str(),
                "--mount", "MNT", "--ntrip-version", "1", "--to", name, nullptr);
        ::_exit(127);
    }
    const int caster = ::accept(listener, nullptr, nullptr);
    char head[1024];
    ::recv(caster, head, sizeof head, 0); // the request: one segment on loopback
    ::send(caster, "ICY 200 OK\r\n", 12, 0);

    std::vector<Clock::time_point> sent(kMessages), arrived(kMessages);
    std::thread reader([&] {
        std::vector<unsigned char> got;
        int next = 0;
        while (next < kMessages) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            unsigned char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            const auto now = Clock::now();
            got.insert(got.end(), buffer, buffer + n);
            while (static_cast<int>(got.size()) >= (next + 1) * kSize)
                arrived[next++] = now;
        }
    });

    const auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000000 / kPerSecond) * i);
        char message[kSize];
        std::memset(message, 0xA5, sizeof message);
        std::memcpy(message, &i, sizeof i);
        sent[i] = Clock::now();
        ::send(caster, message, sizeof message, 0);
    }
    reader.join();
    const double seconds = ms(Clock::now() - start) / 1000;

    ::kill(pid, SIGTERM);
    int status = 0;
    rusage use{};
    ::wait4(pid, &status, 0, &use);
    const double cpu = use.ru_utime.tv_sec + use.ru_utime.tv_usec / 1e6 + use.ru_stime.tv_sec +
                       use.ru_stime.tv_usec / 1e6;

    std::vector<double> latency;
    for (int i = 0; i < kMessages; ++i)
        if (arrived[i] != Clock::time_point{})
            latency.push_back(ms(arrived[i] - sent[i]));
    std::sort(latency.begin(), latency.end());
    if (latency.empty())
        return std::puts("no data arrived"), 1;
    std::printf("messages            %zu of %d (%d bytes, %d/s)\n", latency.size(), kMessages,
                kSize, kPerSecond);
    std::printf("latency median      %.3f ms\n", latency[latency.size() / 2]);
    std::printf("latency p99         %.3f ms\n", latency[latency.size() * 99 / 100]);
    std::printf("latency max         %.3f ms\n", latency.back());
    std::printf("client CPU          %.2f %% of a core (%.3f s in %.1f s, start-up included)\n",
                100 * cpu / seconds, cpu, seconds);
    ::close(caster);
    ::close(master);
    const std::vector<double> pty = ptyBaseline(400);
    if (!pty.empty())
        std::printf("pty alone median    %.3f ms, p99 %.3f ms (the kernel's share)\n",
                    pty[pty.size() / 2], pty[pty.size() * 99 / 100]);
    return 0;
}
