#include "sim/Sky.h"

#include <algorithm>
#include <cmath>

namespace telvorsim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;
constexpr double kEarthRate = 7.2921151467e-5; // rad/s
constexpr double kWgsA = 6378137.0;
constexpr double kWgsF = 1 / 298.257223563;
constexpr double kLight = 299792458.0;
constexpr double kGpsL1 = 1575420000.0;

struct TOrbit {
    double radius, periodS, inclination, node, phase; // metres, seconds, radians
};

constexpr int kGpsCount = 31;
constexpr int kGloCount = 24;
constexpr int kSbasPrn = 124;

// GLONASS slot -> frequency number (antipodal slots share one).
constexpr int kGloFreq[kGloCount + 1] = {0,  1,  -4, 5,  6, 1,  -4, 5, 6, -2, -7, 0, -1,
                                         -2, -7, 0,  -1, 4, -3, 3,  2, 4, -3, 3,  2};

TOrbit gpsOrbit(int prn) {
    int plane = (prn - 1) % 6, slot = (prn - 1) / 6;
    return {26559700.0, 43082.0, 55 * kDeg, plane * 60 * kDeg, (slot * 60 + plane * 13) * kDeg};
}

TOrbit gloOrbit(int slot) {
    int plane = (slot - 1) / 8, pos = (slot - 1) % 8;
    return {25508200.0, 40544.0, 64.8 * kDeg, plane * 120 * kDeg, (pos * 45 + plane * 15) * kDeg};
}

void orbitPosition(const TOrbit& o, double t, double& x, double& y, double& z) {
    double u = o.phase + 2 * kPi * std::fmod(t, o.periodS) / o.periodS;
    double xi =
        std::cos(u) * std::cos(o.node) - std::sin(u) * std::cos(o.inclination) * std::sin(o.node);
    double yi =
        std::cos(u) * std::sin(o.node) + std::sin(u) * std::cos(o.inclination) * std::cos(o.node);
    double zi = std::sin(u) * std::sin(o.inclination);
    double theta = std::fmod(kEarthRate * t, 2 * kPi);
    x = o.radius * (xi * std::cos(theta) + yi * std::sin(theta));
    y = o.radius * (-xi * std::sin(theta) + yi * std::cos(theta));
    z = o.radius * zi;
}

void geodeticToEcef(double lat, double lon, double h, double& x, double& y, double& z) {
    double e2 = kWgsF * (2 - kWgsF);
    double n = kWgsA / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    x = (n + h) * std::cos(lat) * std::cos(lon);
    y = (n + h) * std::cos(lat) * std::sin(lon);
    z = (n * (1 - e2) + h) * std::sin(lat);
}

// Inverts a symmetric 4x4 matrix in place by Gauss-Jordan; false when singular.
bool invert4(double m[4][4]) {
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 8; ++j)
            a[i][j] = j < 4 ? m[i][j] : (j - 4 == i ? 1 : 0);
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c]))
                p = r;
        if (std::fabs(a[p][c]) < 1e-12)
            return false;
        std::swap(a[p], a[c]);
        double d = a[c][c];
        for (int j = 0; j < 8; ++j)
            a[c][j] /= d;
        for (int r = 0; r < 4; ++r)
            if (r != c) {
                double f = a[r][c];
                for (int j = 0; j < 8; ++j)
                    a[r][j] -= f * a[c][j];
            }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = a[i][j + 4];
    return true;
}

struct TSigma {
    float h, v, vel;
};
constexpr TSigma kSigma[5] = {{0, 0, 0},
                              {1.8f, 3.5f, 0.05f},
                              {0.45f, 0.9f, 0.03f},
                              {0.12f, 0.25f, 0.01f},
                              {0.008f, 0.015f, 0.005f}};

} // namespace

TSky::TSky(double latDeg, double lonDeg, double heightM, std::uint64_t seed, int cycleS)
    : lat_(latDeg * kDeg), lon_(lonDeg * kDeg), height_(heightM), seed_(seed),
      cycleS_(std::max(cycleS, 10)) {
    geodeticToEcef(lat_, lon_, height_, rx_, ry_, rz_);
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
    double u1 = (hash(static_cast<std::uint64_t>(timeMs), channel * 2) + 1.0) / 4294967297.0;
    double u2 = (hash(static_cast<std::uint64_t>(timeMs), channel * 2 + 1) + 1.0) / 4294967297.0;
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

namespace {

// A satellite's Earth-centred position now and one second later (for the Doppler).
struct TCandidate {
    TSystem system;
    int number;
    double x, y, z;
    double x1, y1, z1;
};

// Every satellite of the constellations, above the horizon or not, at `t` seconds.
std::vector<TCandidate> constellation(double t, double lon) {
    std::vector<TCandidate> candidates;
    for (int p = 1; p <= kGpsCount; ++p) {
        TCandidate c{TSystem::Gps, p, 0, 0, 0, 0, 0, 0};
        orbitPosition(gpsOrbit(p), t, c.x, c.y, c.z);
        orbitPosition(gpsOrbit(p), t + 1, c.x1, c.y1, c.z1);
        candidates.push_back(c);
    }
    for (int s = 1; s <= kGloCount; ++s) {
        TCandidate c{TSystem::Glonass, s, 0, 0, 0, 0, 0, 0};
        orbitPosition(gloOrbit(s), t, c.x, c.y, c.z);
        orbitPosition(gloOrbit(s), t + 1, c.x1, c.y1, c.z1);
        candidates.push_back(c);
    }
    // The SBAS satellite stands still over a longitude 15 degrees east of the antenna.
    double geo = 42164000.0, at = lon + 15 * kDeg;
    TCandidate c{TSystem::Sbas, kSbasPrn, geo * std::cos(at), geo * std::sin(at), 0, 0, 0, 0};
    c.x1 = c.x, c.y1 = c.y, c.z1 = c.z;
    candidates.push_back(c);
    return candidates;
}

} // namespace

TEpoch TSky::compute(std::int64_t timeMs, const TSkySettings& settings) {
    TEpoch e;
    setClock(e, timeMs);
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
    const double t = timeMs / 1000.0;
    e.oscOffset = static_cast<float>(1.5e-7 + 4e-8 * std::sin(2 * kPi * std::fmod(t, 5400) / 5400) +
                                     1e-10 * noise(timeMs, 900));
    e.clockRate = static_cast<float>(e.oscOffset + 2e-10 * noise(timeMs, 901));
}

void TSky::look(double x, double y, double z, double& el, double& az, double& range) const {
    double sl = std::sin(lat_), cl = std::cos(lat_), so = std::sin(lon_), co = std::cos(lon_);
    double dx = x - rx_, dy = y - ry_, dz = z - rz_;
    double east = -so * dx + co * dy;
    double north = -sl * co * dx - sl * so * dy + cl * dz;
    double up = cl * co * dx + cl * so * dy + sl * dz;
    range = std::sqrt(dx * dx + dy * dy + dz * dz);
    el = std::atan2(up, std::sqrt(east * east + north * north)) / kDeg;
    az = std::atan2(east, north) / kDeg;
    if (az < 0)
        az += 360;
}

void TSky::trackSatellites(TEpoch& e, const TSkySettings& settings) {
    const std::int64_t timeMs = e.timeMs;
    const std::int64_t acquireFrom = restartMs_ + 3000;
    for (const auto& c : constellation(timeMs / 1000.0, lon_)) {
        int key = static_cast<int>(c.system) * 1000 + c.number;
        double el, az, range, el1, az1, range1;
        look(c.x, c.y, c.z, el, az, range);
        look(c.x1, c.y1, c.z1, el1, az1, range1);
        TTrack& track = tracks_[key];
        if (el <= 0) {
            track.visibleSince = -1;
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
        double f = kGpsL1;
        if (c.system == TSystem::Glonass) {
            s.freq = kGloFreq[c.number];
            s.index = 45 + s.freq;
            f = 1602000000.0 + s.freq * 562500.0;
        } else {
            s.index = c.number;
        }
        s.dopplerHz = -(range1 - range) * f / kLight + e.clockRate * f;
        double snr = 32 + 18 * std::sin(el * kDeg) + 1.2 * noise(timeMs, key);
        if (c.system == TSystem::Glonass)
            snr -= 2;
        s.ca = std::clamp(static_cast<int>(std::lround(snr)), 20, 55);
        if (c.system != TSystem::Sbas) {
            s.p1 = std::max(0, s.ca - 3 - static_cast<int>(hash(key, timeMs) % 2));
            s.p2 = std::max(0, s.ca - 6 - static_cast<int>(hash(key, timeMs + 1) % 2));
        }
        s.status = trackingStatus(s, settings);
        e.sats.push_back(s);
    }
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

void TSky::solve(TEpoch& e, int type) const {
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
    if (type >= 3)
        for (auto* s : used)
            s->status = s->system == TSystem::Gps ? 54 : 51;

    TFix& fx = e.fix;
    fx.type = type;
    if (type == 0)
        return;
    const std::int64_t timeMs = e.timeMs;
    const TSigma& sg = kSigma[type];
    double dn = sg.h / std::sqrt(2.0) * noise(timeMs, 1),
           de = sg.h / std::sqrt(2.0) * noise(timeMs, 2);
    double du = sg.v * noise(timeMs, 3);
    fx.latRad = lat_ + dn / 6371000.0;
    fx.lonRad = lon_ + de / (6371000.0 * std::cos(lat_));
    fx.height = height_ + du;
    geodeticToEcef(fx.latRad, fx.lonRad, fx.height, fx.x, fx.y, fx.z);
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
