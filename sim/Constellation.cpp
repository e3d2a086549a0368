#include "sim/Constellation.h"

#include "sim/Gnsstime.h"

#include <algorithm>
#include <cmath>

namespace telvorsim {
namespace {

constexpr double kDeg = kPi / 180;
constexpr double kJ2 = 1.0826e-3;
constexpr double kEarthA = 6378137.0;
constexpr double kGpsEpochJd = 2444244.5;
constexpr double kGloNodeS = 30;     // spacing of the cached integration nodes
constexpr double kGloHalfS = 900;    // half an interval
constexpr double kGpsPhaseDeg = 220; // where the GPS constellation stood at the GPS epoch

// A fraction in [0, 1) that spreads the satellites' small differences evenly.
double spread(int n, double k) {
    double v = n * k;
    return v - std::floor(v);
}

// Mean elements of a satellite at the GPS epoch and their secular rates.
struct TMean {
    double a, e, inc, node, perigee, anomaly; // m, -, rad
    double nodeRate, motion;                  // rad/s (inertial node), rad/s (mean motion)
};

double nodeRateJ2(double a, double e, double inc) {
    double n = std::sqrt(kGpsMu / (a * a * a));
    double p = a * (1 - e * e) / kEarthA;
    return -1.5 * n * kJ2 * std::cos(inc) / (p * p);
}

TMean gpsMean(int prn) {
    int plane = (prn - 1) % 6, slot = (prn - 1) / 6;
    TMean m;
    m.a = std::pow(5153.6 + 0.4 * (spread(prn, 0.618) - 0.5), 2);
    m.e = 0.002 + 0.014 * spread(prn, 0.382);
    m.inc = (55 + 1.6 * (spread(prn, 0.273) - 0.5)) * kDeg;
    m.node = (plane * 60 + 4 * spread(prn, 0.71)) * kDeg;
    m.perigee = spread(prn, 0.137) * 2 * kPi - kPi;
    m.anomaly = (slot * 60 + plane * 13 + 7 * spread(prn, 0.91) + kGpsPhaseDeg) * kDeg - m.perigee;
    m.nodeRate = nodeRateJ2(m.a, m.e, m.inc);
    m.motion = std::sqrt(kGpsMu / (m.a * m.a * m.a)) + (4.0 + spread(prn, 0.53)) * 1e-9;
    return m;
}

TMean gloMean(int slot) {
    int plane = (slot - 1) / 8, pos = (slot - 1) % 8;
    TMean m;
    m.a = 25508200.0 + 300 * (spread(slot, 0.618) - 0.5);
    m.e = 0.0004 + 0.0016 * spread(slot, 0.382);
    m.inc = (64.8 + 0.6 * (spread(slot, 0.273) - 0.5)) * kDeg;
    m.node = (plane * 120 + 2 * spread(slot, 0.71)) * kDeg;
    m.perigee = spread(slot, 0.137) * 2 * kPi - kPi;
    m.anomaly = (pos * 45 + plane * 15) * kDeg - m.perigee;
    m.nodeRate = nodeRateJ2(m.a, m.e, m.inc);
    m.motion = std::sqrt(kGpsMu / (m.a * m.a * m.a));
    return m;
}

// Satellite clocks: an offset that wanders slowly (periods of months), so the broadcast
// polynomial through any issue time fits it to a fraction of a millimetre for hours.
struct TClockModel {
    double offset, amplitude, periodS, phase;
    double at(double t) const { return offset + amplitude * std::sin(w() * t + phase); }
    double rate(double t) const { return amplitude * w() * std::cos(w() * t + phase); }
    double halfAcceleration(double t) const {
        return -amplitude * w() * w() * std::sin(w() * t + phase) / 2;
    }
    double w() const { return 2 * kPi / periodS; }
};

TClockModel gpsClock(int prn) {
    return {(spread(prn, 0.443) - 0.5) * 6e-4, 2e-6 + 6e-6 * spread(prn, 0.29),
            86400.0 * (60 + 60 * spread(prn, 0.77)), spread(prn, 0.57) * 2 * kPi};
}

TClockModel gloClock(int slot) {
    return {(spread(slot, 0.443) - 0.5) * 3e-4, 1e-6 + 4e-6 * spread(slot, 0.29),
            86400.0 * (45 + 40 * spread(slot, 0.77)), spread(slot, 0.57) * 2 * kPi};
}

// Position and velocity on a Kepler orbit, inertial, from the elements at `t`.
void kepler(const TMean& m, double t, TVec& pos, TVec& vel) {
    double mean = m.anomaly + m.motion * t, node = m.node + m.nodeRate * t;
    mean = std::fmod(mean, 2 * kPi);
    double e = mean;
    for (int i = 0; i < 30; ++i)
        e = mean + m.e * std::sin(e);
    double cosE = std::cos(e), sinE = std::sin(e);
    double b = std::sqrt(1 - m.e * m.e);
    double xp = m.a * (cosE - m.e), yp = m.a * b * sinE;
    double rate = m.motion / (1 - m.e * cosE);
    double vxp = -m.a * sinE * rate, vyp = m.a * b * cosE * rate;
    double cw = std::cos(m.perigee), sw = std::sin(m.perigee);
    double cn = std::cos(node), sn = std::sin(node), ci = std::cos(m.inc), si = std::sin(m.inc);
    auto rotate = [&](double px, double py) {
        double x = px * cw - py * sw, y = px * sw + py * cw;
        return TVec{x * cn - y * ci * sn, x * sn + y * ci * cn, y * si};
    };
    pos = rotate(xp, yp);
    vel = rotate(vxp, vyp);
    // The node's own motion.
    vel.x -= m.nodeRate * pos.y;
    vel.y += m.nodeRate * pos.x;
}

TVec toEarthFixed(const TVec& v, double t) {
    double th = earthAngle(t), c = std::cos(th), s = std::sin(th);
    return {c * v.x + s * v.y, -s * v.x + c * v.y, v.z};
}

// Sun and Moon as accelerations of a satellite at `p`.
TVec lunisolar(const TVec& p, double t) {
    TVec out;
    auto body = [&](const TVec& b, double mu) {
        TVec d{b.x - p.x, b.y - p.y, b.z - p.z};
        double dr = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        double br = std::sqrt(b.x * b.x + b.y * b.y + b.z * b.z);
        double k1 = mu / (dr * dr * dr), k2 = mu / (br * br * br);
        out.x += k1 * d.x - k2 * b.x;
        out.y += k1 * d.y - k2 * b.y;
        out.z += k1 * d.z - k2 * b.z;
    };
    body(sunPosition(t), 1.32712440018e20);
    body(moonPosition(t), 4.9028e12);
    return out;
}

TVec equatorial(double lambda, double beta, double r, double days) {
    double eps = (23.439 - 0.0000004 * days) * kDeg;
    double x = r * std::cos(beta) * std::cos(lambda), y = r * std::cos(beta) * std::sin(lambda),
           z = r * std::sin(beta);
    return {x, y * std::cos(eps) - z * std::sin(eps), y * std::sin(eps) + z * std::cos(eps)};
}

} // namespace

int gloFrequency(int slot) {
    static constexpr int kFreq[kGloCount + 1] = {0,  1,  -4, 5,  6, 1,  -4, 5, 6, -2, -7, 0, -1,
                                                 -2, -7, 0,  -1, 4, -3, 3,  2, 4, -3, 3,  2};
    return slot >= 1 && slot <= kGloCount ? kFreq[slot] : 0;
}

double earthAngle(double t) {
    // The Earth rotation angle at the GPS epoch, then the rate the GPS user algorithm uses.
    static const double kAtEpoch =
        2 * kPi * std::fmod(0.7790572732640 + 1.00273781191135448 * (kGpsEpochJd - 2451545.0), 1.0);
    return std::fmod(kAtEpoch + kEarthRate * t, 2 * kPi);
}

TVec sunPosition(double t) {
    double n = kGpsEpochJd - 2451545.0 + t / 86400;
    double g = (357.528 + 0.9856003 * n) * kDeg;
    double lambda =
        (280.460 + 0.9856474 * n + 1.915 * std::sin(g) + 0.020 * std::sin(2 * g)) * kDeg;
    double r = (1.00014 - 0.01671 * std::cos(g) - 0.00014 * std::cos(2 * g)) * 1.495978707e11;
    return toEarthFixed(equatorial(lambda, 0, r, n), t);
}

TVec moonPosition(double t) {
    double n = kGpsEpochJd - 2451545.0 + t / 86400;
    double mean = (134.963 + 13.064993 * n) * kDeg;
    double lambda = (218.316 + 13.176396 * n + 6.289 * std::sin(mean)) * kDeg;
    double beta = 5.128 * kDeg * std::sin((93.272 + 13.229350 * n) * kDeg);
    double r = (385001 - 20905 * std::cos(mean)) * 1000;
    return toEarthFixed(equatorial(lambda, beta, r, n), t);
}

TGpsEphemeris TConstellation::gpsEphemeris(int prn, double t) const {
    const TMean m = gpsMean(prn);
    const TClockModel clock = gpsClock(prn);
    double issue = std::floor(t / kGpsIssueS) * kGpsIssueS;
    TGpsEphemeris e;
    e.prn = prn;
    e.week = static_cast<int>(std::floor(issue / 604800));
    e.toe = e.toc = issue - e.week * 604800.0;
    long long count = static_cast<long long>(issue / kGpsIssueS);
    e.iode = static_cast<int>(count % 256);
    e.iodc = e.iode;
    e.ura = 2;
    e.sqrtA = std::sqrt(m.a);
    e.e = m.e;
    e.deltaN = m.motion - std::sqrt(kGpsMu / (m.a * m.a * m.a));
    e.m0 = std::remainder(m.anomaly + m.motion * issue, 2 * kPi);
    e.omega = m.perigee;
    e.i0 = m.inc;
    e.idot = 0;
    e.omegaDot = m.nodeRate;
    // Node longitude at the start of the week, so that the algorithm's Earth rotation from
    // there brings it to the inertial node less the Earth's angle.
    double weekStart = e.week * 604800.0;
    e.omega0 = std::remainder(m.node + m.nodeRate * issue - earthAngle(weekStart), 2 * kPi);
    // Harmonic corrections of plausible size, fixed per satellite.
    e.cuc = (spread(prn, 0.31) - 0.5) * 1.2e-5;
    e.cus = (spread(prn, 0.67) - 0.5) * 1.6e-5;
    e.crc = 180 + 160 * spread(prn, 0.23);
    e.crs = (spread(prn, 0.83) - 0.5) * 200;
    e.cic = (spread(prn, 0.47) - 0.5) * 3e-7;
    e.cis = (spread(prn, 0.59) - 0.5) * 3e-7;
    e.af0 = clock.at(issue);
    e.af1 = clock.rate(issue);
    e.af2 = clock.halfAcceleration(issue);
    e.tgd = 0;
    return e;
}

TSatState TConstellation::gps(int prn, double t) const {
    return gpsSatellite(gpsEphemeris(prn, t), t);
}

TConstellation::TInterval TConstellation::makeInterval(int slot, double tbGps, TVec pos, TVec vel,
                                                       TVec acc) const {
    TInterval in;
    in.tbGps = tbGps;
    TGloEphemeris& e = in.eph;
    e.slot = slot;
    e.freq = gloFrequency(slot);
    e.pos = pos;
    e.vel = vel;
    e.acc = acc;
    const TClockModel clock = gloClock(slot);
    e.tauN = -clock.at(tbGps);
    e.gammaN = clock.rate(tbGps);
    std::int64_t utcMs = utcMsFromGps(static_cast<std::int64_t>(std::llround(tbGps * 1000)));
    TGloTime g = gloTime(utcMs);
    e.tb = std::llround(g.todMs / 1000.0);
    e.dayN4 = g.dayN4;
    e.n4 = g.n4;
    const int half = static_cast<int>(kGloHalfS / kGloNodeS);
    in.pos.assign(2 * half + 1, pos);
    in.vel.assign(2 * half + 1, vel);
    for (int dir : {-1, 1}) {
        TVec p = pos, v = vel;
        for (int i = 1; i <= half; ++i) {
            gloIntegrate(p, v, e.acc, dir * kGloNodeS, kGloNodeS);
            in.pos[half + dir * i] = p;
            in.vel[half + dir * i] = v;
        }
    }
    return in;
}

const TConstellation::TInterval& TConstellation::interval(int slot, long long k) {
    TChain& chain = chains_[slot];
    k = std::max(k, 0LL);
    auto it = chain.intervals.find(k);
    if (it != chain.intervals.end())
        return it->second;
    if (chain.intervals.empty() || k < chain.intervals.begin()->first) {
        // The anchor: the mean orbit, Earth-fixed, at the first tb of the Moscow day.
        chain.intervals.clear();
        const TMean m = gloMean(slot);
        TVec pos, vel;
        kepler(m, anchor_, pos, vel);
        TVec p = toEarthFixed(pos, anchor_), v = toEarthFixed(vel, anchor_);
        v.x += kEarthRate * p.y;
        v.y -= kEarthRate * p.x;
        chain.intervals.emplace(0, makeInterval(slot, anchor_, p, v, lunisolar(p, anchor_)));
    }
    // Forward from the last one: half an interval with its Sun and Moon, half with the next.
    for (long long last = chain.intervals.rbegin()->first; last < k; ++last) {
        const TInterval& from = chain.intervals.rbegin()->second;
        TVec p = from.pos.back(), v = from.vel.back();
        double tb = from.tbGps + kGloIssueS;
        // Sun and Moon where the satellite will be at tb; the state at tb then follows from
        // the boundary with exactly the acceleration the new interval broadcasts, so the
        // orbit has no step there.
        TVec guessP = p, guessV = v;
        gloIntegrate(guessP, guessV, from.eph.acc, kGloHalfS, kGloNodeS);
        TVec acc = lunisolar(guessP, tb);
        gloIntegrate(p, v, acc, kGloHalfS, kGloNodeS);
        chain.intervals.emplace(last + 1, makeInterval(slot, tb, p, v, acc));
        // Keep a few behind: light time looks back a little.
        while (chain.intervals.size() > 4)
            chain.intervals.erase(chain.intervals.begin());
    }
    return chain.intervals.at(k);
}

const TGloEphemeris& TConstellation::gloEphemeris(int slot, double t, double* tbGps) {
    if (!anchored_) {
        // 00:15 Moscow time of the day of `t`.
        std::int64_t utcMs = utcMsFromGps(static_cast<std::int64_t>(std::floor(t * 1000)));
        TGloTime g = gloTime(utcMs);
        anchor_ = std::floor(t - g.todMs / 1000.0) + kGloHalfS;
        anchored_ = true;
    }
    long long k = static_cast<long long>(std::floor((t - anchor_ + kGloHalfS) / kGloIssueS));
    const TInterval& in = interval(slot, k);
    if (tbGps)
        *tbGps = in.tbGps;
    return in.eph;
}

TSatState TConstellation::glo(int slot, double t) {
    double tb = 0;
    gloEphemeris(slot, t, &tb);
    long long k = static_cast<long long>(std::floor((t - anchor_ + kGloHalfS) / kGloIssueS));
    const TInterval& in = interval(slot, k);
    const int half = static_cast<int>(kGloHalfS / kGloNodeS);
    double dt = t - tb;
    int node = std::clamp(static_cast<int>(std::lround(dt / kGloNodeS)), -half, half);
    TSatState s;
    s.pos = in.pos[half + node];
    s.vel = in.vel[half + node];
    gloIntegrate(s.pos, s.vel, in.eph.acc, dt - node * kGloNodeS, kGloNodeS);
    s.clock = -in.eph.tauN + in.eph.gammaN * dt;
    s.clockRate = in.eph.gammaN;
    return s;
}

} // namespace telvorsim
