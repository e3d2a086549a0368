// CPU time the simulated receiver spends per epoch with the monitor set and raw data ("def",
// every message encoded), at 20 Hz with the mask down to the horizon, and what a day of
// accelerated epochs costs. Prints its figures; a 20 Hz receiver has 50 ms per epoch.
#include "sim/Engine.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

using namespace telvorsim;

namespace {

struct TCountingHost : TEngineHost {
    std::size_t bytes = 0, rawMessages = 0, rawSatellites = 0;
    void send(std::string b, bool) override {
        bytes += b.size();
        if (b.compare(0, 2, "rM") == 0 && b.size() > 11) {
            ++rawMessages;
            rawSatellites += static_cast<unsigned char>(b[11]);
        }
    }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct TFigures {
    double perEpochMs;
    double bytesPerEpoch;
    double satellites;
};

TFigures run(int stepMs, int epochs, double lat) {
    TSimOptions o;
    o.epochStepMs = stepMs;
    o.latDeg = lat;
    TCountingHost host;
    TEngine engine(o, host, "/dev/ser/a", 1733788800000); // 2024-12-10 00:00 UTC
    std::string lines =
        "set,/par/out/elm/cur/term,-90\r\nem,,def:{" + std::to_string(stepMs / 1000.0) + "}\r\n";
    engine.receive(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size());
    for (int i = 0; i < 200; ++i) // satellites acquired
        engine.runEpoch(true);
    host = TCountingHost{};
    double start = cpuSeconds();
    for (int i = 0; i < epochs; ++i)
        engine.runEpoch(true);
    double cpu = cpuSeconds() - start;
    return {cpu * 1000 / epochs, static_cast<double>(host.bytes) / epochs,
            host.rawMessages ? static_cast<double>(host.rawSatellites) / host.rawMessages : 0};
}

} // namespace

int main() {
    for (double lat : {50.0875, 0.0}) {
        TFigures f = run(50, 2000, lat);
        std::printf("20 Hz, def with raw data, lat %5.1f: %.1f satellites, %.3f ms CPU per epoch "
                    "(%.2f %% of one core), %.0f bytes per epoch\n",
                    lat, f.satellites, f.perEpochMs, f.perEpochMs / 50 * 100, f.bytesPerEpoch);
    }
    TFigures day = run(1000, 86400, 50.0875);
    std::printf("24 h at 1 s steps: %.1f s CPU (%.3f ms per epoch)\n", day.perEpochMs * 86.4,
                day.perEpochMs);
    return 0;
}
