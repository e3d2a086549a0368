#pragma once
// Feeds plot stores from the simulated receiver's sky: satellite views, positions, DOPs and
// RMS values as the receiver frames them, against a store clock that follows the epochs.
#include "monitor/Plotdata.h"
#include "sim/Encoders.h"
#include "sim/Sky.h"

#include <cstdint>
#include <string>
#include <vector>

namespace telvor::testing {

class TSimFeed {
public:
    static constexpr double kLatDeg = 55.75, kLonDeg = 37.62;

    // `cycleS`: the period of the solution-type cycle (standalone, code differential, float,
    // fixed).
    explicit TSimFeed(int cycleS = 600) : sky_(kLatDeg, kLonDeg, 150, 7, cycleS) {
        sky_.restart(kStartMs);
    }

    // Milliseconds of the store clock; stores built with `clock()` start at 0.
    std::uint32_t now = 0;
    TPlotData::Clock clock() {
        return [this] { return now; };
    }

    // The messages of one epoch `seconds` after the start, of the given names ("GS", "PG",
    // ...); the clock moves to that epoch.
    std::vector<std::string> epoch(std::int64_t seconds, const std::vector<const char*>& names) {
        now = static_cast<std::uint32_t>(seconds * 1000);
        telvorsim::TEpoch e = sky_.compute(kStartMs + seconds * 1000, {});
        telvorsim::TEpochView view{e, {}, {}, false};
        for (const auto& s : e.sats)
            if (s.elDeg >= 5 && s.system != telvorsim::TSystem::Sbas)
                view.sats.push_back(&s);
        std::vector<std::string> out;
        for (const char* name : names)
            if (const auto* def = telvorsim::findMessage(name))
                def->encode(view, out);
        return out;
    }

    // One epoch into every store given; drain them before 60 epochs have piled up.
    void feed(std::int64_t seconds, const std::vector<const char*>& names,
              const std::vector<TPlotData*>& stores) {
        for (const auto& m : epoch(seconds, names))
            for (TPlotData* s : stores)
                s->feed(reinterpret_cast<const std::uint8_t*>(m.data()), m.size());
    }

    static double targetLat() { return kLatDeg * 3.14159265358979323846 / 180; }
    static double targetLon() { return kLonDeg * 3.14159265358979323846 / 180; }

private:
    static constexpr std::int64_t kStartMs = 1700000000000;
    telvorsim::TSky sky_;
};

} // namespace telvor::testing
