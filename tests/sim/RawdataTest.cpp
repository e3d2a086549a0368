// The simulated receiver's raw data: measurements that agree with the geometry, the clock and
// the atmosphere; a standalone fix from them near the antenna; two antennas under one sky;
// and the messages that carry them, framed and laid out as docs/formats.md says.
#include "sim/Engine.h"
#include "sim/Gnsstime.h"
#include "sim/Ranging.h"

#include "protocol/Crc16.h"
#include "protocol/Messageformat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

using namespace telvorsim;

namespace {

constexpr std::int64_t kStart = 1146668399000; // 2006-05-03 14:59:59 UTC
constexpr double kDeg = kPi / 180;

struct TFakeHost : TEngineHost {
    std::string out;
    void send(std::string bytes, bool) override { out += bytes; }
    void switchRateAfterOutput(unsigned) override {}
    void restartAfterOutput(bool) override {}
};

// The messages of an output stream, walked by their headers (the stream holds nothing else).
std::vector<std::string> frames(const std::string& bytes) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at + 5 <= bytes.size();) {
        std::size_t length = std::stoul(bytes.substr(at + 2, 3), nullptr, 16) + 5;
        out.push_back(bytes.substr(at, length));
        at += length;
    }
    return out;
}

std::vector<std::string> only(const std::vector<std::string>& all, const char* id) {
    std::vector<std::string> out;
    for (const auto& m : all)
        if (m.compare(0, 2, id) == 0)
            out.push_back(m);
    return out;
}

template <typename T> T get(const std::string& m, std::size_t offset) {
    T v;
    std::memcpy(&v, m.data() + 5 + offset, sizeof v);
    return v;
}

double distance(const TVec& a, const TVec& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

const TSat* find(const TEpoch& e, TSystem system, int number) {
    for (const TSat& s : e.sats)
        if (s.system == system && s.number == number)
            return &s;
    return nullptr;
}

double carrier(const TSat& s, bool l2) {
    if (s.system == TSystem::Glonass)
        return l2 ? gloL2(s.freq) : gloL1(s.freq);
    return l2 ? kGpsL2 : kGpsL1;
}

} // namespace

TEST(SimRaw, DopplerIsTheRangeRateAndTheClocksAreInTheRanges) {
    TSky sky(50.0875, 14.4213, 245, 1, 600);
    sky.restart(kStart);
    std::vector<TEpoch> epochs;
    for (int i = 0; i < 400; ++i) // 20 s at 20 Hz
        epochs.push_back(sky.compute(kStart + 50 * i, TSkySettings{}));
    int checked = 0;
    for (std::size_t i = 300; i + 1 < epochs.size(); ++i) {
        const TEpoch& e = epochs[i];
        for (const TSat& s : e.sats) {
            if (!s.raw)
                continue;
            const TSat* before = find(epochs[i - 1], s.system, s.number);
            const TSat* after = find(epochs[i + 1], s.system, s.number);
            ASSERT_TRUE(before && after);
            for (bool l2 : {false, true}) {
                const TSignal& now = l2 ? s.l2 : s.l1;
                double rate =
                    -((l2 ? after->l2 : after->l1).phase - (l2 ? before->l2 : before->l1).phase) /
                    0.1;
                EXPECT_NEAR(now.doppler, rate, 2) << s.number; // phase noise over 0.1 s
                EXPECT_GT(now.lockMs, 0u);
            }
            // The code holds range, both clocks and the modelled delays, within its noise.
            double model =
                distance(s.position, e.antenna) + kLight * (e.clockBias - s.clock) + s.delays;
            EXPECT_NEAR(s.l1.pseudorange, model, 5) << s.number;
            // Doppler as the monitor reads it: clock rate times carrier less range rate.
            EXPECT_NEAR(s.dopplerHz, s.l1.doppler, 1e-9);
            ++checked;
        }
    }
    EXPECT_GT(checked, 99 * 15);
}

TEST(SimRaw, IonosphereDelaysTheCodeAndAdvancesThePhase) {
    TSky sky(50.0875, 14.4213, 245, 1, 600);
    sky.restart(kStart);
    // One satellite over an hour of its pass: the ionosphere changes by metres.
    std::map<int, std::vector<std::pair<double, double>>> byKey; // code and phase residuals
    for (int i = 10; i < 60 * 60; i += 20) {
        TEpoch e = sky.compute(kStart + 1000LL * i, TSkySettings{});
        const double tow = static_cast<double>(gpsTime(e.gpsMs).towMs) / 1000;
        for (const TSat& s : e.sats) {
            if (!s.raw)
                continue;
            double f1 = carrier(s, false), f2 = carrier(s, true);
            double iono1 = kLight *
                           klobuchar(ionoParams(), 50.0875 * kDeg, 14.4213 * kDeg, s.elDeg * kDeg,
                                     s.azDeg * kDeg, tow) *
                           (kGpsL1 / f1) * (kGpsL1 / f1);
            double extra = iono1 * ((f1 / f2) * (f1 / f2) - 1); // L2 over L1
            double code = s.l2.pseudorange - s.l1.pseudorange - extra;
            double phase = kLight / f1 * s.l1.phase - kLight / f2 * s.l2.phase - extra;
            byKey[static_cast<int>(s.system) * 1000 + s.number].push_back({code, phase});
        }
    }
    int passes = 0;
    for (auto& [key, series] : byKey) {
        if (series.size() < 150)
            continue;
        ++passes;
        double mean = 0;
        for (auto& [code, phase] : series)
            mean += code / series.size();
        EXPECT_NEAR(mean, 0, 0.6) << key; // code: L2 later than L1 by the ionosphere's share
        // Phase: L2 earlier by as much, so less the ionosphere only the ambiguities remain.
        for (auto& [code, phase] : series)
            EXPECT_NEAR(phase, series.front().second, 0.05) << key;
    }
    EXPECT_GE(passes, 4);
}

TEST(SimRaw, CycleSlipsAndMultipathOnDemand) {
    TWorldOptions faults;
    faults.slipRate = 0.02;
    faults.multipath = 5;
    TSky clean(50.0875, 14.4213, 245, 3, 600), faulty(50.0875, 14.4213, 245, 3, 600, faults);
    clean.restart(kStart);
    faulty.restart(kStart);
    std::map<int, double> lastClean, lastFaulty; // phase, L1, cycles
    int slips = 0, steady = 0;
    double worstCode = 0;
    for (int i = 0; i < 300; ++i) {
        TEpoch a = clean.compute(kStart + 1000LL * i, TSkySettings{});
        TEpoch b = faulty.compute(kStart + 1000LL * i, TSkySettings{});
        ASSERT_EQ(a.sats.size(), b.sats.size());
        for (std::size_t k = 0; k < a.sats.size(); ++k) {
            const TSat &sa = a.sats[k], &sb = b.sats[k];
            if (!sa.raw)
                continue;
            int key = static_cast<int>(sa.system) * 1000 + sa.number;
            worstCode = std::max(worstCode, std::fabs(sb.l1.pseudorange - sa.l1.pseudorange));
            // The same measurements but for the faults: the phase differs by the slips (whole
            // cycles) and the multipath's hundredth (under 5 cm).
            double diff = sb.l1.phase - sa.l1.phase;
            if (lastClean.count(key)) {
                double step = diff - (lastFaulty[key] - lastClean[key]);
                if (sb.l1.slipped) {
                    ++slips;
                    EXPECT_GE(std::fabs(step), 0.5);
                    EXPECT_LT(sb.l1.lockMs, 1000u);
                    EXPECT_FALSE(sa.l1.slipped);
                } else {
                    ++steady;
                    EXPECT_LT(std::fabs(step), 0.5) << key; // no slip, no jump
                }
            }
            EXPECT_NEAR(diff, std::round(diff), 0.3);
            lastClean[key] = sa.l1.phase;
            lastFaulty[key] = sb.l1.phase;
        }
    }
    EXPECT_GT(slips, 20);
    EXPECT_GT(steady, 1000);
    EXPECT_GT(worstCode, 1);
    EXPECT_LT(worstCode, 5.01);
}

TEST(SimRaw, StandaloneFixWithinMetresAndTheTruthPerEpoch) {
    TSimOptions o;
    o.solutionCycleS = 100000; // standalone throughout
    std::vector<std::string> truth;
    o.onTruth = [&](const std::string& line) { truth.push_back(line); };
    TFakeHost host;
    TEngine engine(o, host, "/dev/ser/a", kStart);
    std::string r;
    engine.receive(reinterpret_cast<const std::uint8_t*>("em,,vxr/PG\r\n"), 12);
    host.out.clear();
    for (int i = 0; i < 120; ++i)
        engine.runEpoch(true);
    auto pg = only(frames(host.out), "PG");
    ASSERT_EQ(pg.size(), 120u);
    int fixes = 0;
    for (const auto& m : pg) {
        if (static_cast<unsigned char>(m[5 + 28]) != 1)
            continue;
        ++fixes;
        double north = (get<double>(m, 0) / kDeg - o.latDeg) * kDeg * 6371000;
        double east =
            (get<double>(m, 8) / kDeg - o.lonDeg) * kDeg * 6371000 * std::cos(o.latDeg * kDeg);
        EXPECT_LT(std::hypot(north, east), 5);
        EXPECT_NEAR(get<double>(m, 16), o.heightM, 8);
    }
    EXPECT_GT(fixes, 100);
    ASSERT_EQ(truth.size(), 120u);
    // UTC ms, week, seconds of week, X, Y, Z, clock bias, then the satellites used.
    long long ms = 0;
    int week = 0;
    double tow = 0, x = 0, y = 0, z = 0, bias = 1;
    char first[8] = {};
    ASSERT_EQ(std::sscanf(truth.back().c_str(), "%lld %d %lf %lf %lf %lf %lf %7s", &ms, &week, &tow,
                          &x, &y, &z, &bias, first),
              8);
    EXPECT_EQ(ms, kStart + 120000);
    EXPECT_EQ(week, 1373);
    EXPECT_NEAR(tow, std::fmod((ms / 1000.0 - kGpsEpochUnixS + 14), 604800), 1e-6);
    EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), 6365e3, 10e3);
    EXPECT_LT(std::fabs(bias), 5e-4);
    EXPECT_TRUE(first[0] == 'G' || first[0] == 'R');
}

TEST(SimRaw, BaseAndRoverSeeOneSkyFromTheirBaseline) {
    TWorldOptions offset;
    offset.east = 30, offset.north = -40, offset.up = 2;
    TSky base(50.0875, 14.4213, 245, 7, 600), rover(50.0875, 14.4213, 245, 7, 600, offset);
    base.restart(kStart);
    rover.restart(kStart);
    for (int i = 0; i < 60; ++i) {
        TEpoch b = base.compute(kStart + 1000LL * i, TSkySettings{});
        TEpoch r = rover.compute(kStart + 1000LL * i, TSkySettings{});
        EXPECT_NEAR(distance(b.antenna, r.antenna), std::sqrt(30 * 30 + 40 * 40 + 2 * 2), 1e-6);
        ASSERT_EQ(b.sats.size(), r.sats.size());
        for (std::size_t k = 0; k < b.sats.size(); ++k) {
            const TSat &sb = b.sats[k], &sr = r.sats[k];
            ASSERT_EQ(sb.number, sr.number);
            if (!sb.raw)
                continue;
            // The single difference of the ranges is the baseline along the line of sight.
            TVec u{sb.position.x - b.antenna.x, sb.position.y - b.antenna.y,
                   sb.position.z - b.antenna.z};
            double n = distance(sb.position, b.antenna);
            double along = ((r.antenna.x - b.antenna.x) * u.x + (r.antenna.y - b.antenna.y) * u.y +
                            (r.antenna.z - b.antenna.z) * u.z) /
                           n;
            EXPECT_NEAR(sr.l1.pseudorange - sb.l1.pseudorange, -along, 8);
            EXPECT_NE(sr.l1.pseudorange - sb.l1.pseudorange, 0); // noise of its own
        }
    }
}

TEST(SimRaw, MessagesCarryMeasurementsEphemeridesAndParameters) {
    TSimOptions o;
    TFakeHost host;
    TEngine engine(o, host, "/dev/ser/a", kStart);
    auto say = [&](const std::string& line) {
        std::string l = line + "\r\n";
        engine.receive(reinterpret_cast<const std::uint8_t*>(l.data()), l.size());
    };
    say("set,/par/out/elm/cur/term,-90");
    say("em,,vxr{/SI,/rM,/GE,/NE,/IO,/UO}");
    host.out.clear();
    for (int i = 0; i < 20; ++i)
        engine.runEpoch(true);
    auto all = frames(host.out);
    auto rm = only(all, "rM");
    ASSERT_EQ(rm.size(), 20u);
    for (const auto& m : rm) {
        // CRC-16 over all but its last two bytes, low byte first.
        std::uint16_t crc = telvor::crc16(0, m.data(), m.size() - 2);
        EXPECT_EQ(static_cast<unsigned char>(m[m.size() - 2]), crc & 0xFF);
        EXPECT_EQ(static_cast<unsigned char>(m[m.size() - 1]), crc >> 8);
        std::size_t n = static_cast<unsigned char>(m[5 + 6]);
        EXPECT_EQ(m.size(), 5 + 16 + 56 * n + 2);
    }
    // The last one against the epoch the engine holds: time, then the satellites.
    const std::string& last = rm.back();
    const TGpsTime t = gpsTime(gpsMsFromUtc(kStart + 20000));
    EXPECT_EQ(get<std::uint16_t>(last, 0), t.week);
    EXPECT_EQ(get<std::uint32_t>(last, 2), t.towMs);
    std::size_t n = static_cast<unsigned char>(last[5 + 6]);
    ASSERT_GE(n, 8u);
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t at = 16 + 56 * k;
        int system = static_cast<unsigned char>(last[5 + at]);
        EXPECT_TRUE(system == 0 || system == 1);
        double p1 = get<double>(last, at + 4), p2 = get<double>(last, at + 30);
        EXPECT_GT(p1, 18e6);
        EXPECT_LT(p1, 28e6 + 2e5); // the receiver clock adds up to 150 km either way
        EXPECT_NEAR(p2, p1, 30);
        double phase = get<double>(last, at + 12);
        EXPECT_NE(phase, 0);
        unsigned cn0 = get<std::uint16_t>(last, at + 24);
        EXPECT_GE(cn0, 2000u);
        EXPECT_LE(cn0, 5500u);
    }

    // Ephemerides: every GPS satellite held once at first, each as the constellation issues it.
    auto ge = only(all, "GE");
    ASSERT_GE(ge.size(), 6u);
    TConstellation world;
    const double now = gpsMsFromUtc(kStart + 20000) / 1000.0;
    std::map<int, int> perPrn;
    for (const auto& m : ge) {
        EXPECT_EQ(telvor::checkMessage(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()),
                  telvor::CheckResult::Good);
        ASSERT_EQ(m.size(), 5u + 170 + 1);
        TGpsEphemeris e;
        e.prn = static_cast<unsigned char>(m[5]);
        e.week = get<std::uint16_t>(m, 4);
        e.iode = get<std::uint16_t>(m, 6);
        e.toe = get<std::uint32_t>(m, 10);
        e.toc = get<std::uint32_t>(m, 14);
        double* fields[] = {&e.af0,    &e.af1,   &e.af2,    &e.tgd,      &e.sqrtA, &e.e,    &e.m0,
                            &e.deltaN, &e.omega, &e.omega0, &e.omegaDot, &e.i0,    &e.idot, &e.cuc,
                            &e.cus,    &e.crc,   &e.crs,    &e.cic,      &e.cis};
        for (std::size_t f = 0; f < std::size(fields); ++f)
            *fields[f] = get<double>(m, 18 + 8 * f);
        ++perPrn[e.prn];
        TSatState fromMessage = gpsSatellite(e, now), truth = world.gps(e.prn, now);
        EXPECT_LT(distance(fromMessage.pos, truth.pos), 1e-3) << e.prn;
        EXPECT_NEAR(fromMessage.clock, truth.clock, 1e-12);
    }
    for (auto& [prn, count] : perPrn)
        EXPECT_EQ(count, 1) << prn; // not again until the next issue

    auto ne = only(all, "NE");
    ASSERT_GE(ne.size(), 4u);
    for (const auto& m : ne) {
        ASSERT_EQ(m.size(), 5u + 98 + 1);
        TGloEphemeris e;
        e.slot = static_cast<unsigned char>(m[5]);
        e.freq = static_cast<signed char>(m[6]);
        e.tb = get<std::uint32_t>(m, 6);
        TVec* vectors[] = {&e.pos, &e.vel, &e.acc};
        for (int v = 0; v < 3; ++v)
            *vectors[v] = {get<double>(m, 10 + 24 * v), get<double>(m, 18 + 24 * v),
                           get<double>(m, 26 + 24 * v)};
        e.tauN = get<double>(m, 82);
        e.gammaN = get<double>(m, 90);
        EXPECT_EQ(e.freq, gloFrequency(e.slot));
        // A receiver integrates the state vector itself and lands on the truth.
        double tb = 0;
        world.gloEphemeris(e.slot, now, &tb);
        TSatState fromMessage = gloSatellite(e, now - tb, 60), truth = world.glo(e.slot, now);
        EXPECT_LT(distance(fromMessage.pos, truth.pos), 0.05) << e.slot;
        EXPECT_NEAR(fromMessage.clock, truth.clock, 1e-12);
    }

    auto io = only(all, "IO"), uo = only(all, "UO");
    ASSERT_EQ(io.size(), 1u);
    ASSERT_EQ(uo.size(), 1u);
    EXPECT_EQ(get<float>(io[0], 0), ionoParams().alpha[0]);
    EXPECT_EQ(get<float>(io[0], 28), ionoParams().beta[3]);
    EXPECT_EQ(static_cast<signed char>(uo[0][5 + 22]), 14); // GPS - UTC in 2006
    EXPECT_EQ(get<std::uint16_t>(uo[0], 23), 1355);         // 2005-12-31, a Saturday
    EXPECT_EQ(static_cast<int>(uo[0][5 + 25]), 7);

    // Enabled again: everything held comes once more; a raw-data interval of 2 s halves "rM".
    say("dm");
    say("set,/par/raw/msint,2000");
    say("em,,vxr{/rM,/GE}");
    host.out.clear();
    for (int i = 0; i < 10; ++i)
        engine.runEpoch(true);
    all = frames(host.out);
    EXPECT_EQ(only(all, "rM").size(), 5u);
    EXPECT_EQ(only(all, "GE").size(), perPrn.size());
}
