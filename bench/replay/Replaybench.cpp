// A day of a simulated receiver at 1 Hz, as `telvor-cli log` records it with the plots open,
// written to a temporary .vxr and replayed without pacing: the splitter alone against two bare
// checksum loops over the same bytes, then the whole monitor path (splitter, plot store,
// latest-message table, decoders at every epoch end, the monitor JSON). Prints figures only.
#include "monitor/Monitor.h"
#include "monitor/Monitorstate.h"
#include "protocol/Latestmsgs.h"
#include "protocol/Messageformat.h"
#include "protocol/Splitter.h"
#include "tests/support/Simfeed.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace telvor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kEpochs = 86400;
constexpr std::size_t kChunk = 8192;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The logging set with the plots' messages, in the order the receiver sends them in an epoch;
// ephemerides and almanacs only every two hours, as they change.
std::string recordDay() {
    std::set<std::string> wanted(telvorsim::defaultSet().begin(), telvorsim::defaultSet().end());
    wanted.insert({"PG", "GS", "NS", "SG", "EE"});
    std::vector<const char*> every, withEvents;
    for (const auto& def : telvorsim::messageTable()) {
        if (!wanted.count(def.name))
            continue;
        withEvents.push_back(def.name);
        if (!def.onEvent)
            every.push_back(def.name);
    }
    testing::TSimFeed sim;
    std::string file;
    for (int t = 0; t < kEpochs; ++t)
        for (const auto& m : sim.epoch(t, t % 7200 == 0 ? withEvents : every))
            file += m;
    return file;
}

struct Counter : TSplitterSink {
    std::size_t messages = 0, skipped = 0;
    void onMessage(const std::uint8_t*, std::size_t) override { ++messages; }
    void onSkipped(const std::uint8_t*, std::size_t n, bool) override { skipped += n; }
};

template <class Feed> void chunked(const std::string& bytes, Feed&& feed) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size();)
        at += feed(data + at, std::min(kChunk, bytes.size() - at));
}

template <class F> double bestOf(int runs, F&& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        f();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

// The input thread's dispatch and the UI thread's tick in one: every message to the plot
// store and the latest-message table, and at each epoch end a tick, a drain and the JSON.
struct MonitorPath : TSplitterSink, TSlotSource {
    TQuietMonitorHost host;
    TLatestMessages latest;
    TMonitor monitor{host, *this, nullptr, TPlotData::kMaxCapacity};
    std::size_t epochs = 0, jsonBytes = 0;

    void onMessage(const std::uint8_t* m, std::size_t n) override {
        monitor.plotData().feed(m, n);
        latest.Store(m, n);
        if (m[0] == '|' && m[1] == '|') {
            monitor.display().tick(true);
            monitor.plotData().drain();
            jsonBytes += monitorViewJson(monitor.view()).size() + 1;
            ++epochs;
        }
    }
    void onSkipped(const std::uint8_t*, std::size_t, bool) override {}
    void takeSlots(TSlotCopies& out) override {
        for (int row = 0; row < TLatestMessages::kRows; ++row) {
            auto& slot = out.rows[static_cast<std::size_t>(row)];
            slot.length = latest.Length(row);
            if (slot.length > 0)
                std::memcpy(slot.bytes.data(), latest.Slot(row), slot.length);
            latest.ClearRow(row);
        }
    }
};

} // namespace

// With a file name the bench replays that file as it is and keeps it, for profiles;
// "FILE --keep" only writes the recording there.
int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[2]) == "--keep") {
        std::ofstream(argv[1], std::ios::binary) << recordDay();
        return 0;
    }
    auto start = Clock::now();
    const bool given = argc > 1;
    const std::string path = given ? argv[1] : "/tmp/telvor-bench-replay-24h.vxr";
    if (!given)
        std::ofstream(path, std::ios::binary) << recordDay();
    std::ifstream in(path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("recording: %d epochs at 1 Hz, %.1f MB in %s (made in %.1f s)\n", kEpochs,
                file.size() / 1e6, path.c_str(), secondsSince(start));

    Counter counter;
    const double split = bestOf(5, [&] {
        counter = Counter();
        TMessageSplitter s(counter);
        chunked(file, [&](const std::uint8_t* d, std::size_t n) {
            n = std::min(n, s.space());
            s.feed(d, n);
            return n;
        });
    });
    unsigned fold = 0;
    const double chain = bestOf(5, [&] {
        chunked(file, [&](const std::uint8_t* d, std::size_t n) {
            std::uint8_t c = 0;
            for (std::size_t i = 0; i < n; ++i)
                c = static_cast<std::uint8_t>(((c << 2) | (c >> 6)) ^ d[i]);
            fold += c;
            return n;
        });
    });
    const double words = bestOf(5, [&] {
        chunked(file, [&](const std::uint8_t* d, std::size_t n) {
            fold += rotatingChecksum(d, n);
            return n;
        });
    });
    const double mb = file.size() / 1e6;
    std::printf("splitter: %.0f MB/s (%zu messages, %zu bytes skipped)\n", mb / split,
                counter.messages, counter.skipped);
    std::printf("byte-chain checksum loop: %.0f MB/s; splitter / byte chain = %.2f\n", mb / chain,
                chain / split);
    std::printf("word checksum loop: %.0f MB/s; splitter / word checksum = %.2f\n", mb / words,
                words / split);

    MonitorPath monitor;
    start = Clock::now();
    TMessageSplitter s(monitor);
    chunked(file, [&](const std::uint8_t* d, std::size_t n) {
        n = std::min(n, s.space());
        s.feed(d, n);
        return n;
    });
    std::printf("monitor path (split, plot store, decoders, JSON): %.2f s for %zu epochs, "
                "%.1f MB of JSON\n",
                secondsSince(start), monitor.epochs, monitor.jsonBytes / 1e6);
    std::printf("(fold %u)\n", fold & 0xFF);
    if (!given)
        std::remove(path.c_str());
    return 0;
}
