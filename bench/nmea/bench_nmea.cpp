// NMEA output cost per epoch: the tap's work on the input thread (gathering, sentences, writes
// to a pty with a reader and to two TCP clients) and the worker's, as a share of one core at
// 20 epochs a second. Prints figures; never fails on time.
#include "nmea/Nmeaoutputs.h"
#include "nmea/Sentences.h"
#include "tests/support/Simfeed.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace telvor;

namespace {

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 ? fd : -1;
}

} // namespace

int main() {
    // The monitoring messages of 400 simulated epochs.
    testing::TSimFeed sim(100);
    const std::vector<const char*> names = {"RT", "RD", "SI", "NN", "EL", "AZ", "EC", "E1",
                                            "E2", "SS", "TC", "DC", "DO", "OO", "TT", "PV",
                                            "PG", "DP", "SG", "MS", "GS", "NS", "EE"};
    std::vector<std::vector<std::string>> epochs;
    for (int t = 0; t < 400; ++t)
        epochs.push_back(sim.epoch(t, names));

    char dir[] = "/tmp/telvor-bench-nmea-XXXXXX";
    if (!::mkdtemp(dir))
        return 1;
    const std::string link = std::string(dir) + "/nmea";
    TNmeaOutputConfig config;
    config.ptyPath = link;
    config.tcp = true;
    config.tcpPort = 0;
    TNmeaOutputs out;
    if (const std::string e = out.start(config); !e.empty()) {
        std::fprintf(stderr, "%s\n", e.c_str());
        return 1;
    }
    // Readers that keep up: the pty and two TCP clients.
    std::vector<int> readers = {::open(link.c_str(), O_RDWR | O_NOCTTY), connectTo(out.tcpPort()),
                                connectTo(out.tcpPort())};
    while (out.clientCount() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> received{0};
    std::thread reading([&] {
        std::vector<pollfd> p;
        for (int fd : readers)
            p.push_back({fd, POLLIN, 0});
        char buf[8192];
        while (!stop)
            if (::poll(p.data(), p.size(), 50) > 0)
                for (auto& q : p)
                    if (q.revents & POLLIN) {
                        const ssize_t n = ::read(q.fd, buf, sizeof buf);
                        if (n > 0)
                            received += static_cast<std::size_t>(n);
                    }
    });
    // The pty reader shows as present once it has opened the slave.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // 20 epochs a second, as a fast receiver sends them; the input thread's CPU is this one's.
    const int rounds = static_cast<int>(epochs.size());
    std::size_t bytes = 0;
    const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    double tap = 0;
    for (int i = 0; i < rounds; ++i) {
        const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (const auto& m : epochs[static_cast<std::size_t>(i)]) {
            out.OnMessage(reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
            bytes += m.size();
        }
        tap += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    stop = true;
    reading.join();

    // The builder alone, many times over.
    const int builds = 20000;
    TNmeaCollector collector;
    std::size_t sentenceBytes = 0;
    const double b0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < builds; ++i)
        for (const auto& m : epochs[static_cast<std::size_t>(i % rounds)])
            if (collector.offer(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()))
                sentenceBytes += epochSentences(collector.epoch()).size();
    const double build = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - b0) / builds;

    out.stop();
    for (int fd : readers)
        ::close(fd);
    ::rmdir(dir);

    const double perEpoch = tap / rounds;
    std::printf("epochs: %d, %zu message bytes in, %.0f sentence bytes out per epoch, %zu bytes "
                "read by the pty and 2 TCP clients\n",
                rounds, bytes, static_cast<double>(sentenceBytes) / builds,
                static_cast<std::size_t>(received));
    std::printf("gather + sentences: %.1f us per epoch\n", build * 1e6);
    std::printf("tap on the input thread (gather, sentences, pty + 2 TCP writes): %.1f us per "
                "epoch = %.3f %% of a core at 20 Hz\n",
                perEpoch * 1e6, perEpoch * 20 * 100);
    std::printf("whole process (tap, worker, the three readers): %.3f %% of a core at 20 Hz\n",
                process / (rounds * 0.05 + 0.2) * 100);
    return 0;
}
