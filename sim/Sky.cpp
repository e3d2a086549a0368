#include "sim/Sky.h"

#include "sim/Gnsstime.h"
#include "sim/Lsqfix.h"
#include "sim/Ranging.h"

#include <algorithm>
#include <cmath>

namespace telvorsim {
namespace {

constexpr double kDeg = kPi / 180;
constexpr int kSbasPrn = 124;
constexpr int kEphemerisAfterS = 5; // of lock: then the satellite's ephemeris is held

struct TSigma {
    float h, v, vel;
};
constexpr TSigma kSigma[5] = {{0, 0, 0},
                              {1.8f, 3.5f, 0.05f},
                              {0.45f, 0.9f, 0.03f},
                              {0.12f, 0.25f, 0.01f},
                              {0.008f, 0.015f, 0.005f}};

// Thermal noise of a tracking loop, scaled from its value at 45 dB-Hz.
double loopNoise(double cn0, double at45) {
    return at45 * std::sqrt(std::pow(10.0, (45 - cn0) / 10));
}

} // namespace

TSky::TSky(double latDeg, double lonDeg, double heightM, std::uint64_t seed, int cycleS,
           TWorldOptions world)
    : lat_(latDeg * kDeg), lon_(lonDeg * kDeg), height_(heightM), seed_(seed),
      cycleS_(std::max(cycleS, 10)), world_(world) {
    TVec marker;
    geodeticToEcef(lat_, lon_, height_, marker.x, marker.y, marker.z);
    double sl = std::sin(lat_), cl = std::cos(lat_), so = std::sin(lon_), co = std::cos(lon_);
    antenna_ = {marker.x - so * world.east - sl * co * world.north + cl * co * world.up,
                marker.y + co * world.east - sl * so * world.north + cl * so * world.up,
                marker.z + cl * world.north + sl * world.up};
    // Noise differs between antennas with the same seed; the sky does not.
    noiseSeed_ = static_cast<std::uint64_t>(std::llround(antenna_.x * 1000)) * 0x9E3779B1ull ^
                 static_cast<std::uint64_t>(std::llround(antenna_.y * 1000)) * 0x85EBCA77ull ^
                 static_cast<std::uint64_t>(std::llround(antenna_.z * 1000)) * 0xC2B2AE3Dull;
    unhealthyGps_ = 1 + static_cast<int>(hash(seed, 11) % kGpsCount);
    unhealthyGlo_ = 1 + static_cast<int>(hash(seed, 12) % kGloCount);
}

std::uint32_t TSky::hash(std::uint64_t a, std::uint64_t b) const {
    std::uint64_t z = seed_ * 0x9E3779B97F4A7C15ull ^
                      (a + 0x632BE59BD9B4E019ull) * 0xBF58476D1CE4E5B9ull ^
                      (b + 1) * 0x94D049BB133111EBull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 16);
}

double TSky::noise(std::int64_t timeMs, int channel) const {
    const std::uint64_t at = static_cast<std::uint64_t>(timeMs) ^ noiseSeed_;
    double u1 = (hash(at, channel * 2) + 1.0) / 4294967297.0;
    double u2 = (hash(at, channel * 2 + 1) + 1.0) / 4294967297.0;
    return std::sqrt(-2 * std::log(u1)) * std::cos(2 * kPi * u2);
}

void TSky::restart(std::int64_t timeMs) {
    restartMs_ = timeMs;
    tracks_.clear();
    for (int p = 1; p <= kGpsCount; ++p)
        nextGpsAlmanac_[p] = timeMs + 10000 + (p - 1) * 4000;
    for (int s = 1; s <= kGloCount; ++s)
        nextGloAlmanac_[s] = timeMs + 12000 + (s - 1) * 5000;
    rtcmMessages_ = 0;
}

void TSky::civilDate(std::int64_t timeMs, int& year, int& month, int& day) {
    // Days since 1970 to a civil date (proleptic Gregorian).
    std::int64_t z = (timeMs >= 0 ? timeMs / 86400000 : (timeMs - 86399999) / 86400000) + 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

TEpoch TSky::compute(std::int64_t timeMs, const TSkySettings& settings) {
    TEpoch e;
    setClock(e, timeMs);
    e.rawEpoch = settings.rawMsint > 0 && timeMs % settings.rawMsint == 0;
    trackSatellites(e, settings);
    solve(e, solutionType(e));
    countRtcm(e);
    collectAlmanacs(e);
    return e;
}

void TSky::setClock(TEpoch& e, std::int64_t timeMs) const {
    e.timeMs = timeMs;
    e.todMs = static_cast<std::uint32_t>(((timeMs % 86400000) + 86400000) % 86400000);
    civilDate(timeMs, e.year, e.month, e.day);
    e.uptimeS = static_cast<std::uint32_t>(std::max<std::int64_t>(0, timeMs - restartMs_) / 1000);
    e.oscOffset = static_cast<float>(oscillatorOffset(timeMs) + 1e-10 * noise(timeMs, 900));
    e.clockRate = static_cast<float>(e.oscOffset + 2e-10 * noise(timeMs, 901));
    e.gpsMs = gpsMsFromUtc(timeMs);
    e.clockBias = receiverClockBias(timeMs);
    e.antenna = antenna_;
}

void TSky::look(const TVec& p, double& el, double& az) const {
    double sl = std::sin(lat_), cl = std::cos(lat_), so = std::sin(lon_), co = std::cos(lon_);
    double dx = p.x - antenna_.x, dy = p.y - antenna_.y, dz = p.z - antenna_.z;
    double east = -so * dx + co * dy;
    double north = -sl * co * dx - sl * so * dy + cl * dz;
    double up = cl * co * dx + cl * so * dy + sl * dz;
    el = std::atan2(up, std::sqrt(east * east + north * north)) / kDeg;
    az = std::atan2(east, north) / kDeg;
    if (az < 0)
        az += 360;
}

TSatState TSky::signalState(TSystem system, int number, double t, double& tau) {
    TSatState s;
    for (int i = 0; i < 3; ++i) {
        double te = t - tau;
        if (system == TSystem::Gps)
            s = constellation_.gps(number, te);
        else if (system == TSystem::Glonass)
            s = constellation_.glo(number, te);
        else {
            // The SBAS satellite stands still over a longitude 15 degrees east of the antenna.
            double geo = 42164000.0, at = lon_ + 15 * kDeg;
            s.pos = {geo * std::cos(at), geo * std::sin(at), 0};
        }
        // Into the frame of reception: the Earth turned while the signal travelled.
        double a = kEarthRate * tau, c = std::cos(a), sn = std::sin(a);
        s.pos = {c * s.pos.x + sn * s.pos.y, -sn * s.pos.x + c * s.pos.y, s.pos.z};
        double dx = s.pos.x - antenna_.x, dy = s.pos.y - antenna_.y, dz = s.pos.z - antenna_.z;
        tau = std::sqrt(dx * dx + dy * dy + dz * dz) / kLight;
    }
    return s;
}

void TSky::trackSatellites(TEpoch& e, const TSkySettings& settings) {
    const std::int64_t timeMs = e.timeMs;
    const std::int64_t acquireFrom = restartMs_ + 3000;
    const double t = e.gpsMs / 1000.0 - e.clockBias; // true GPS time of the epoch
    struct TEntry {
        TSystem system;
        int number;
    };
    static const std::vector<TEntry> kAll = [] {
        std::vector<TEntry> all;
        for (int p = 1; p <= kGpsCount; ++p)
            all.push_back({TSystem::Gps, p});
        for (int s = 1; s <= kGloCount; ++s)
            all.push_back({TSystem::Glonass, s});
        all.push_back({TSystem::Sbas, kSbasPrn});
        return all;
    }();
    for (const TEntry& c : kAll) {
        int key = static_cast<int>(c.system) * 1000 + c.number;
        double tau = 0.07;
        TSatState state = signalState(c.system, c.number, t, tau);
        double el, az;
        look(state.pos, el, az);
        TTrack& track = tracks_[key];
        if (el <= 0) {
            track = TTrack{};
            continue;
        }
        if (track.visibleSince < 0)
            track.visibleSince = std::max(timeMs, acquireFrom);
        std::int64_t lockedAt = track.visibleSince + 1000 * (hash(key, 7) % 7);
        if (timeMs < lockedAt)
            continue;
        TSat s;
        s.system = c.system;
        s.number = c.number;
        s.elDeg = el;
        s.azDeg = az;
        s.trackS = static_cast<int>(std::min<std::int64_t>((timeMs - lockedAt) / 1000, 65534));
        if (c.system == TSystem::Glonass) {
            s.freq = gloFrequency(c.number);
            s.index = 45 + s.freq;
        } else {
            s.index = c.number;
        }
        signalLevels(e, s, track, state, lockedAt);
        s.status = trackingStatus(s, settings);
        e.sats.push_back(s);
    }
}

void TSky::measure(TEpoch& e, TSat& s, TTrack& track, const TSatState& state) {
    const int key = static_cast<int>(s.system) * 1000 + s.number;
    const bool gps = s.system == TSystem::Gps;
    const double f1 = gps ? kGpsL1 : gloL1(s.freq), f2 = gps ? kGpsL2 : gloL2(s.freq);
    const double tow = static_cast<double>(gpsTime(e.gpsMs).towMs) / 1000.0;
    const double el = s.elDeg * kDeg, az = s.azDeg * kDeg;

    double dx = state.pos.x - antenna_.x, dy = state.pos.y - antenna_.y,
           dz = state.pos.z - antenna_.z;
    const double range = std::sqrt(dx * dx + dy * dy + dz * dz);
    // Range rate: the satellite's velocity along the line of sight (the antenna is still).
    const double rate = (state.vel.x * dx + state.vel.y * dy + state.vel.z * dz) / range;
    const double iono1 = kLight * klobuchar(ionoParams(), lat_, lon_, el, az, tow);
    const double tropo = troposphere(lat_, height_, el);
    const double clocks = kLight * (e.clockBias - state.clock);
    const double clockRates = kLight * (-oscillatorOffset(e.timeMs) - state.clockRate);
    s.position = state.pos;
    s.clock = state.clock;
    s.delays = iono1 + tropo;

    const double multipath = faults(e, s, track);
    // A fresh integer ambiguity per pass, one per carrier.
    const auto pass = static_cast<std::uint64_t>(track.visibleSince);
    const double n1 =
        static_cast<double>(hash(key * 4 + 1, pass) % 2000001) - 1000000 + track.slipsL1;
    const double n2 =
        static_cast<double>(hash(key * 4 + 2, pass) % 2000001) - 1000000 + track.slipsL2;

    const int channel = key * 16;
    auto signal = [&](TSignal& out, double f, double codeAt45, double n, int ch) {
        const double lambda = kLight / f;
        const double iono = iono1 * (kGpsL1 / f) * (kGpsL1 / f);
        const double geometric = range + clocks + tropo;
        out.pseudorange = geometric + iono + multipath +
                          loopNoise(out.cn0, codeAt45) * noise(e.timeMs, channel + ch);
        out.phase = (geometric - iono + multipath * 0.01) / lambda + n +
                    loopNoise(out.cn0, 0.004) * noise(e.timeMs, channel + ch + 1);
        out.doppler = -(rate + clockRates) / lambda +
                      loopNoise(out.cn0, 0.02) * noise(e.timeMs, channel + ch + 2);
    };
    signal(s.l1, f1, 0.25, n1, 0);
    signal(s.l2, f2, 0.35, n2, 4);
    s.raw = true;
}

void TSky::signalLevels(TEpoch& e, TSat& s, TTrack& track, const TSatState& state,
                        std::int64_t lockedAt) {
    const int key = static_cast<int>(s.system) * 1000 + s.number;
    const std::int64_t timeMs = e.timeMs;
    double snr = 32 + 18 * std::sin(s.elDeg * kDeg) + 1.2 * noise(timeMs, key);
    if (s.system == TSystem::Glonass)
        snr -= 2;
    s.ca = std::clamp(static_cast<int>(std::lround(snr)), 20, 55);
    if (s.system == TSystem::Sbas) {
        s.dopplerHz = e.clockRate * kGpsL1;
        return;
    }
    s.p1 = std::max(0, s.ca - 3 - static_cast<int>(hash(key, timeMs) % 2));
    s.p2 = std::max(0, s.ca - 6 - static_cast<int>(hash(key, timeMs + 1) % 2));
    s.l1.cn0 = std::clamp(snr, 20.0, 55.0);
    s.l2.cn0 = s.l1.cn0 - 6;
    s.l1.lockMs = s.l2.lockMs = static_cast<std::uint32_t>(timeMs - lockedAt);
    measure(e, s, track, state);
    s.dopplerHz = s.l1.doppler;
    receiveEphemeris(e, s, track);
}

double TSky::faults(const TEpoch& e, TSat& s, TTrack& track) const {
    const int key = static_cast<int>(s.system) * 1000 + s.number;
    // Slips change the integer ambiguity for the rest of the pass.
    if (world_.slipRate > 0 && hash(key, e.timeMs + 17) / 4294967296.0 < world_.slipRate) {
        track.slipsL1 += 1 + static_cast<int>(hash(key, e.timeMs + 18) % 40);
        track.slipsL2 += static_cast<int>(hash(key, e.timeMs + 19) % 25) - 12;
        track.slipMs = e.timeMs;
        s.l1.slipped = s.l2.slipped = true;
    }
    if (track.slipMs >= 0) {
        auto since = static_cast<std::uint32_t>(e.timeMs - track.slipMs);
        s.l1.lockMs = std::min(s.l1.lockMs, since);
        s.l2.lockMs = std::min(s.l2.lockMs, since);
    }
    if (world_.multipath <= 0)
        return 0;
    // A reflection beating with the direct signal over some minutes, strongest low down.
    const double el = s.elDeg * kDeg, period = 240 + hash(key, 23) % 360;
    return world_.multipath * std::cos(el) * std::cos(el) *
           std::sin(2 * kPi * e.timeMs / 1000.0 / period + hash(key, 29) % 100);
}

void TSky::receiveEphemeris(TEpoch& e, const TSat& s, TTrack& track) {
    if (s.trackS < kEphemerisAfterS)
        return;
    const double t = e.gpsMs / 1000.0;
    if (s.system == TSystem::Gps) {
        TGpsEphemeris eph = constellation_.gpsEphemeris(s.number, t);
        eph.health = s.number == unhealthyGps_ ? 1 : 0;
        long long issue = static_cast<long long>(std::floor(t / kGpsIssueS));
        if (issue != track.issue) {
            track.issue = issue;
            e.newGpsEph.push_back(s.number);
            if (!ionoHeld_)
                e.newIonoUtc = true;
            ionoHeld_ = true;
        }
        e.gpsEph.push_back(eph);
    } else {
        double tb = 0;
        TGloEphemeris eph = constellation_.gloEphemeris(s.number, t, &tb);
        eph.health = s.number == unhealthyGlo_ ? 1 : 0;
        long long issue = std::llround(tb / kGloIssueS);
        if (issue != track.issue) {
            track.issue = issue;
            e.newGloEph.push_back(s.number);
        }
        e.gloEph.push_back(eph);
    }
    e.ionoUtc = ionoHeld_;
}

int TSky::trackingStatus(const TSat& s, const TSkySettings& settings) const {
    bool excluded = (s.system == TSystem::Gps && settings.gpsExcluded.count(s.number)) ||
                    (s.system == TSystem::Glonass && settings.gloExcluded.count(s.number));
    if (s.system == TSystem::Sbas)
        return 5;
    if (s.system == TSystem::Gps && s.number == unhealthyGps_)
        return 6;
    if (s.system == TSystem::Glonass && s.number == unhealthyGlo_)
        return 10;
    if (excluded)
        return 13;
    if (s.trackS < 5)
        return 26;
    if (s.elDeg < settings.maskDeg)
        return 16;
    if (s.ca < 30)
        return 23;
    return 0;
}

int TSky::solutionType(const TEpoch& e) const {
    // Standalone, code differential, float, fixed, standalone again over one cycle since the
    // last restart.
    double phase = std::fmod(static_cast<double>(e.uptimeS), cycleS_) / cycleS_;
    return phase < 0.2 ? 1 : phase < 0.4 ? 2 : phase < 0.5 ? 3 : phase < 0.9 ? 4 : 1;
}

void TSky::solve(TEpoch& e, int type) {
    std::vector<TSat*> used;
    for (auto& s : e.sats)
        if (s.status == 0)
            used.push_back(&s);

    // Dilution of precision from the geometry of the satellites in the solution.
    if (used.size() >= 4) {
        double n[4][4] = {};
        for (auto* s : used) {
            double el = s->elDeg * kDeg, az = s->azDeg * kDeg;
            double g[4] = {-std::cos(el) * std::sin(az), -std::cos(el) * std::cos(az),
                           -std::sin(el), 1};
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j)
                    n[i][j] += g[i] * g[j];
        }
        if (invert4(n)) {
            e.fix.hdop = static_cast<float>(std::sqrt(n[0][0] + n[1][1]));
            e.fix.vdop = static_cast<float>(std::sqrt(n[2][2]));
            e.fix.tdop = static_cast<float>(std::sqrt(n[3][3]));
        }
    } else {
        type = 0;
    }
    TVec position = antenna_;
    if (type >= 1) {
        TLsqResult fix = standalone(e, used, 0);
        if (fix.ok) // again with the clock known, for the Earth's rotation
            fix = standalone(e, used, fix.clockBias);
        if (!fix.ok)
            type = 0;
        e.fix.clockBias = fix.clockBias;
        position = fix.position;
    }
    if (type >= 3)
        for (auto* s : used)
            s->status = s->system == TSystem::Gps ? 54 : 51;

    TFix& fx = e.fix;
    fx.type = type;
    if (type == 0)
        return;
    const std::int64_t timeMs = e.timeMs;
    const TSigma& sg = kSigma[type];
    if (type == 1) {
        fx.x = position.x, fx.y = position.y, fx.z = position.z;
        ecefToGeodetic(position, fx.latRad, fx.lonRad, fx.height);
    } else {
        // Corrections: the truth and the small noise of their kind.
        double lat, lon, h;
        ecefToGeodetic(antenna_, lat, lon, h);
        double dn = sg.h / std::sqrt(2.0) * noise(timeMs, 1),
               de = sg.h / std::sqrt(2.0) * noise(timeMs, 2);
        double du = sg.v * noise(timeMs, 3);
        fx.latRad = lat + dn / 6371000.0;
        fx.lonRad = lon + de / (6371000.0 * std::cos(lat));
        fx.height = h + du;
        geodeticToEcef(fx.latRad, fx.lonRad, fx.height, fx.x, fx.y, fx.z);
    }
    fx.vx = static_cast<float>(sg.vel * noise(timeMs, 4));
    fx.vy = static_cast<float>(sg.vel * noise(timeMs, 5));
    fx.vz = static_cast<float>(sg.vel * noise(timeMs, 6));
    fx.hRms = sg.h;
    fx.vRms = sg.v;
    fx.hvRms = sg.vel;
    fx.vvRms = sg.vel * 1.5f;
    fx.posRms = std::sqrt(sg.h * sg.h + sg.v * sg.v);
    fx.velRms = std::sqrt(2.0f) * sg.vel * 1.2f;
}

TLsqResult TSky::standalone(const TEpoch& e, const std::vector<TSat*>& used, double bias) {
    // As a receiver does it: L1 code, satellites from the broadcast data at the time of
    // transmission the range gives, the broadcast ionosphere and the standard troposphere.
    std::vector<TRange> ranges;
    const double t = e.gpsMs / 1000.0;
    for (const TSat* s : used) {
        TRange r;
        r.pseudorange = s->l1.pseudorange;
        double tau = r.pseudorange / kLight;
        double tx = t - tau;
        TSatState state = s->system == TSystem::Gps ? constellation_.gps(s->number, tx)
                                                    : constellation_.glo(s->number, tx);
        tx -= state.clock;
        state = s->system == TSystem::Gps ? constellation_.gps(s->number, tx)
                                          : constellation_.glo(s->number, tx);
        // The light time without the receiver clock's part, for the Earth's rotation.
        double a = kEarthRate * (tau - bias + state.clock);
        double c = std::cos(a), sn = std::sin(a);
        r.satellite = {c * state.pos.x + sn * state.pos.y, -sn * state.pos.x + c * state.pos.y,
                       state.pos.z};
        r.satClock = state.clock;
        r.delays = s->delays;
        double sinEl = std::sin(s->elDeg * kDeg);
        r.weight = sinEl * sinEl;
        ranges.push_back(r);
    }
    return leastSquaresFix(ranges, antenna_);
}

void TSky::countRtcm(TEpoch& e) {
    // Corrections arrive while the solution uses them (code differential and better).
    e.rtcmLink = e.fix.type >= 2;
    if (!e.rtcmLink)
        return;
    ++rtcmMessages_;
    e.rtcmMessages = rtcmMessages_ % 10000;
    e.rtcmErrors = static_cast<int>(rtcmMessages_ / 97) % 10000;
    e.linkQuality = 95 + 5 * (hash(e.timeMs, 77) % 1000) / 1000.0;
}

void TSky::collectAlmanacs(TEpoch& e) {
    for (int p = 1; p <= kGpsCount; ++p)
        if (e.timeMs >= nextGpsAlmanac_[p]) {
            e.gpsAlmanacs.push_back(p);
            lastGpsAlmanac_ = p;
            nextGpsAlmanac_[p] += 750000;
        }
    for (int s = 1; s <= kGloCount; ++s)
        if (e.timeMs >= nextGloAlmanac_[s]) {
            e.gloAlmanacs.push_back(s);
            lastGloAlmanac_ = s;
            nextGloAlmanac_[s] += 150000;
        }
    e.lastGpsAlmanac = lastGpsAlmanac_;
    e.lastGloAlmanac = lastGloAlmanac_;
}

} // namespace telvorsim
