// Full redraws of the plot windows at the largest history (2,678,400 fixes, 31 days at 1 Hz),
// the sky plot's replay of 3600 satellite views and of 31 days of them, and one display tick
// that decodes all 24 slots. Offscreen; prints milliseconds of CPU time (best of five) and the
// ratio of each 31-day figure to its target, and never fails on time. Arguments pick sections:
// scatter, position, sky, sky31, tick.
#include "monitor/Displaytick.h"
#include "monitor/Monitor.h"
#include "monitor/Numformat.h"
#include "monitor/Positionplotform.h"
#include "monitor/Satellitesplotform.h"
#include "monitor/Scatterplotform.h"
#include "tests/support/Messagemaker.h"
#include "tests/support/Simfeed.h"

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <random>
#include <time.h>

using namespace telvor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kHistory = TPlotData::kMaxCapacity;
// What a 31-day replay must stay within.
constexpr double kTargetMs = 100;
constexpr double kTargetMB = 200;

void printTarget(const char* what, double value, double target, const char* unit) {
    std::printf("  31 days, %s: %.1f %s = %.2f of the %.0f %s target\n", what, value, unit,
                value / target, target, unit);
}

// One message into a copy of the slot table. True when the slot was empty before.
bool putSlot(TSlotCopies& copies, int row, const std::string& m) {
    auto& slot = copies.rows[static_cast<std::size_t>(row)];
    bool fresh = slot.length == 0;
    std::memcpy(slot.bytes.data(), m.data(), m.size());
    slot.bytes[m.size()] = 0;
    slot.length = m.size();
    return fresh;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Best of `runs` of the CPU time this thread spent, so other work on the shared machine
// counts as little as possible.
template <class F> double timeBest(int runs, F&& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        double start = cpuMs();
        f();
        best = std::min(best, cpuMs() - start);
    }
    return best;
}

using Host = TQuietMonitorHost;

// A window dragged bigger step by step: the CPU time of the slowest step, events included.
double resizeSteps(QApplication& app, QWidget& form) {
    double slowest = 0;
    const QSize start = form.size();
    for (int i = 1; i <= 10; ++i) {
        double t0 = cpuMs();
        form.resize(start + QSize(8 * i, 6 * i));
        app.processEvents();
        slowest = std::max(slowest, cpuMs() - t0);
    }
    form.resize(start);
    app.processEvents();
    return slowest;
}

// Bytes the heap holds, to weigh a store.
std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// Hands every tick the same full set of 24 messages.
struct FullSlots : TSlotSource {
    TSlotCopies copies;
    void takeSlots(TSlotCopies& out) override { out = copies; }
};

std::string pg(double lat, double lon, int type) {
    std::string body(29, '\0');
    double height = 150;
    std::memcpy(&body[0], &lat, 8);
    std::memcpy(&body[8], &lon, 8);
    std::memcpy(&body[16], &height, 8);
    body[28] = static_cast<char>(type);
    return testing::makeMessage("PG", body);
}

void feed(TPlotData& d, const std::string& m) {
    d.feed(reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
}

// A day and more of fixes at 1 Hz wandering around the target, class by the hour.
void fillPositions(std::uint32_t& now, std::vector<TPlotData*> stores) {
    std::mt19937 rng(1);
    std::normal_distribution<double> step(0, 0.05), noise(0, 0.3);
    double east = 0, north = 0;
    for (int i = 0; i < kHistory; ++i) {
        now = static_cast<std::uint32_t>(i) * 1000;
        east = std::clamp(east + step(rng), -3.0, 3.0);
        north = std::clamp(north + step(rng), -3.0, 3.0);
        int type = 1 + (i / 3600) % 4;
        double lat = (north + noise(rng) / type) / kEarthRadius;
        double lon = (east + noise(rng) / type) / kEarthRadius;
        std::string m = pg(lat, lon, type);
        for (TPlotData* s : stores) {
            feed(*s, m);
            if (i % 50 == 49)
                s->drain();
        }
    }
    for (TPlotData* s : stores)
        s->drain();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Sections named on the command line run alone: the 31-day sky takes two minutes to feed.
    auto wanted = [&](const char* section) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], section) == 0)
                return true;
        return false;
    };

    Host host;
    FullSlots fullSlots;
    TMonitor monitor(host, fullSlots, nullptr, kHistory);
    std::uint32_t now = 0;
    const std::size_t heapBefore = heapInUse();
    TPlotData timed(kHistory, [&] { return now; });

    auto start = Clock::now();
    fillPositions(now, {&timed});
    std::printf("plot store, %d fixes: %.1f MB of heap\n", kHistory,
                (heapInUse() - heapBefore) / 1e6);
    fillPositions(now, {&monitor.plotData()});
    std::printf("setup: %d fixes fed and drained into two stores in %.0f ms\n", kHistory,
                msSince(start));

    // Scatter plot: background, grid, and every fix of the history replayed.
    if (wanted("scatter")) {
        TScatterPlotForm form(monitor, nullptr);
        form.resize(900, 600);
        form.show();
        app.processEvents();
        TScatterPlot* plot = form.scatterPlot();
        std::printf("scatter full redraw (%dx%d px, %d fixes): %.1f ms\n", plot->width(),
                    plot->height(), kHistory, timeBest(5, [&] { plot->redraw(); }));
        TScatterSettings s = plot->state().settings();
        s.connect = true;
        form.setSettings(s);
        const double connected = timeBest(5, [&] { plot->redraw(); });
        std::printf("scatter full redraw, points connected: %.1f ms\n", connected);
        printTarget("scatter connected redraw", connected, kTargetMs, "ms");
        std::printf("scatter statistics refresh: %.3f ms\n",
                    timeBest(5, [&] { form.refreshStatistics(); }));
        const double step = resizeSteps(app, form);
        std::printf("scatter window resize, slowest of 10 steps (points connected): %.1f ms\n",
                    step);
        printTarget("scatter slowest resize step", step, kTargetMs, "ms");
    }

    // Position strips: the history reloaded and drawn, for the default span and for a span
    // that holds the whole history.
    if (wanted("position")) {
        TPositionPlotForm form(timed, nullptr);
        form.repaintTimer()->stop();
        form.resize(900, 600);
        form.show();
        app.processEvents();
        TPositionPlot* plot = form.positionPlot();
        TStripSettings s;
        plot->setSettings(s, kDefaultClassColours);
        std::printf("position full redraw (span %d s): %.1f ms\n", s.maxX,
                    timeBest(5, [&] { plot->reload(); }));
        std::printf("position repaint of one timer tick (span %d s): %.3f ms\n", s.maxX,
                    timeBest(5, [&] { plot->redraw(); }));
        s.maxX = kHistory;
        s.gridX = 86400;
        plot->setSettings(s, kDefaultClassColours);
        std::printf("position full redraw (span %d s, every fix): %.1f ms\n", s.maxX,
                    timeBest(5, [&] { plot->reload(); }));
        std::printf("position repaint of one timer tick (span %d s): %.1f ms\n", s.maxX,
                    timeBest(5, [&] { plot->redraw(); }));
        std::printf("position window resize, slowest of 10 steps (span %d s): %.1f ms\n", s.maxX,
                    resizeSteps(app, form));
    }

    // Sky plot: 3600 views of the simulated sky, 10 s apart, replayed as tracks.
    if (wanted("sky")) {
        testing::TSimFeed sim;
        const std::size_t skyHeap = heapInUse();
        TPlotData sky(3600, sim.clock());
        for (int i = 0; i < 3600; ++i) {
            sim.feed(i * 10LL, {"GS", "NS"}, {&sky});
            if (i % 25 == 24)
                sky.drain();
        }
        sky.drain();
        std::printf("satellite history, 3600 views: %.1f MB of heap (%.0f bytes a view)\n",
                    (heapInUse() - skyHeap) / 1e6, (heapInUse() - skyHeap) / 3600.0);
        TSatellitesPlotForm form(sky, nullptr, {});
        form.resize(700, 800);
        form.show();
        app.processEvents();
        TSatellitesPlot* plot = form.skyPlot();
        std::printf("sky full redraw (%dx%d px, %zu views): %.1f ms\n", plot->width(),
                    plot->height(), sky.satelliteHistory().size(),
                    timeBest(5, [&] { plot->redraw(); }));
        std::printf("sky repaint with markers: %.1f ms\n", timeBest(5, [&] { plot->repaint(); }));
    }

    // Sky plot: 31 days of views at 1 Hz, GPS and GLONASS in turn. The sky is computed every
    // other second and gives both views: computing each second took four minutes.
    if (wanted("sky31")) {
        testing::TSimFeed sim;
        auto fed = Clock::now();
        const std::size_t skyHeap = heapInUse();
        TPlotData sky(kHistory, sim.clock());
        for (int i = 0; i < kHistory; i += 2) {
            sim.feed(i, {"GS", "NS"}, {&sky});
            if (i % 50 == 48)
                sky.drain();
        }
        sky.drain();
        const double heap = (heapInUse() - skyHeap) / 1e6;
        std::printf("satellite history, %zu views: %.1f MB of heap (fed in %.0f ms)\n",
                    sky.satelliteHistory().size(), heap, msSince(fed));
        printTarget("sky store heap", heap, kTargetMB, "MB");
        TSatellitesPlotForm form(sky, nullptr, {});
        form.resize(700, 800);
        form.show();
        app.processEvents();
        TSatellitesPlot* plot = form.skyPlot();
        const double redraw = timeBest(5, [&] { plot->redraw(); });
        std::printf("sky full redraw (%dx%d px, %d views): %.1f ms\n", plot->width(),
                    plot->height(), kHistory, redraw);
        printTarget("sky redraw", redraw, kTargetMs, "ms");
        std::printf("sky window resize, slowest of 10 steps: %.1f ms\n", resizeSteps(app, form));
    }

    // Display tick: every slot holds a message of a simulated epoch.
    if (wanted("tick")) {
        testing::TSimFeed sim;
        int filled = 0;
        // Late enough for the almanac notices to have started.
        for (std::int64_t t = 20; filled < TLatestMessages::kRows && t < 200; ++t) {
            std::vector<const char*> names;
            for (const auto& def : telvorsim::messageTable())
                names.push_back(def.name);
            for (const auto& m : sim.epoch(t, names)) {
                int row = TLatestMessages::RowOf(m[0], m[1]);
                if (row < 0 || m.size() >= TLatestMessages::kSlotSize)
                    continue;
                filled += putSlot(fullSlots.copies, row, m);
            }
        }
        TMonitorDisplay& display = monitor.display();
        display.tick(true); // rows created once
        const int ticks = 2000;
        auto t0 = Clock::now();
        for (int i = 0; i < ticks; ++i)
            display.tick(true);
        std::printf("display tick (%d of %d slots filled, %llu decoded): %.4f ms per tick\n",
                    filled, TLatestMessages::kRows,
                    static_cast<unsigned long long>(display.stats().decoded), msSince(t0) / ticks);
    }
    return 0;
}
