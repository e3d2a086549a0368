#pragma once
// A raw data file as the logger records it, made by the simulator's engine without a port or
// a wall clock: quick enough for every test run.
#include "sim/Engine.h"

#include <sstream>
#include <string>
#include <vector>

namespace telvor::testing {

struct TSimRaw {
    std::string bytes;
    std::vector<std::string> truth; // one line per recorded epoch
};

struct TRawHost : telvorsim::TEngineHost {
    std::string out;
    void send(std::string bytes, bool) override { out += bytes; }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
};

// 2026-12-10 02:00:00 UTC; the receiver tracks for a minute before logging starts.
inline TSimRaw simulateRaw(telvorsim::TSimOptions options, int epochs) {
    TSimRaw r;
    bool logging = false;
    options.onTruth = [&](const std::string& line) {
        if (logging)
            r.truth.push_back(line);
    };
    TRawHost host;
    telvorsim::TEngine engine(options, host, "/dev/ser/a", 1796868000000);
    for (int i = 0; i < 60; ++i)
        engine.runEpoch(false);
    const std::string em = "em,,def:{1}\r\n";
    engine.receive(reinterpret_cast<const std::uint8_t*>(em.data()), em.size());
    logging = true;
    for (int i = 0; i < epochs; ++i)
        engine.runEpoch(true);
    r.bytes = host.out;
    return r;
}

// X Y Z of a truth line.
inline std::vector<double> truthPosition(const std::string& line) {
    std::istringstream in(line);
    double utc, week, tow, x, y, z;
    in >> utc >> week >> tow >> x >> y >> z;
    return {x, y, z};
}

} // namespace telvor::testing
