#pragma once
// The world the receiver sees: GPS, GLONASS and one SBAS satellite on simple circular orbits
// over a fixed antenna, signal strength from elevation, a position solution whose type changes
// over time, and the oscillator. Deterministic for a given seed and sequence of epoch times.
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace telvorsim {

enum class TSystem { Gps, Glonass, Sbas };

struct TSat {
    TSystem system = TSystem::Gps;
    int number = 0; // GPS / SBAS PRN, GLONASS slot
    int freq = 0;   // GLONASS frequency number
    int index = 0;  // the receiver's satellite index: PRN, or 45 + frequency number
    double elDeg = 0, azDeg = 0;
    double dopplerHz = 0;
    int ca = 0, p1 = 255, p2 = 255; // dB-Hz, 255 unknown
    int status = 0;
    int trackS = 0; // continuous tracking time
};

struct TFix {
    int type = 0; // 0 none, 1 standalone, 2 code differential, 3 RTK float, 4 RTK fixed
    double latRad = 0, lonRad = 0, height = 0;
    double x = 0, y = 0, z = 0;
    float vx = 0, vy = 0, vz = 0;
    float posRms = 0, velRms = 0;
    float hRms = 0, vRms = 0, hvRms = 0, vvRms = 0;
    float hdop = 0, vdop = 0, tdop = 0;
};

struct TEpoch {
    std::int64_t timeMs = 0; // receiver time, ms since 1970
    std::uint32_t todMs = 0; // time of day
    int year = 1970, month = 1, day = 1;
    std::uint32_t uptimeS = 0; // since the last restart
    std::vector<TSat> sats;    // tracked: GPS by PRN, then GLONASS by slot, then SBAS
    TFix fix;
    float oscOffset = 0, clockRate = 0; // s/s
    bool rtcmLink = false;
    int rtcmMessages = 0, rtcmErrors = 0;
    double linkQuality = 100;
    std::vector<int> gpsAlmanacs, gloAlmanacs; // almanacs completed during this epoch
    int lastGpsAlmanac = 0, lastGloAlmanac = 0;
};

struct TSkySettings {
    int maskDeg = 5;           // position elevation mask
    std::set<int> gpsExcluded; // PRNs the user took out of the solution
    std::set<int> gloExcluded; // slots
};

class TSky {
public:
    TSky(double latDeg, double lonDeg, double heightM, std::uint64_t seed, int cycleS);

    // Tracking starts over; a cleared NVRAM also forgets the almanacs.
    void restart(std::int64_t timeMs);
    // The next epoch; times must not go backwards.
    TEpoch compute(std::int64_t timeMs, const TSkySettings& settings);

    static void civilDate(std::int64_t timeMs, int& year, int& month, int& day);

private:
    struct TTrack {
        std::int64_t visibleSince = -1;
    };
    // The steps of compute, in their order.
    void setClock(TEpoch& e, std::int64_t timeMs) const;           // times, oscillator, clock rate
    void trackSatellites(TEpoch& e, const TSkySettings& settings); // those locked on, by status
    int trackingStatus(const TSat& s, const TSkySettings& settings) const;
    int solutionType(const TEpoch& e) const;
    void solve(TEpoch& e, int type) const; // DOPs and the position; type 0 below 4 satellites
    void countRtcm(TEpoch& e);
    void collectAlmanacs(TEpoch& e);
    // Elevation and azimuth (degrees) and range (m) of an Earth-centred point from the antenna.
    void look(double x, double y, double z, double& el, double& az, double& range) const;

    double noise(std::int64_t timeMs, int channel) const; // standard normal
    std::uint32_t hash(std::uint64_t a, std::uint64_t b) const;

    double lat_, lon_, height_;
    double rx_, ry_, rz_; // antenna, Earth-centred
    std::uint64_t seed_;
    int cycleS_;
    std::int64_t restartMs_ = 0;
    int unhealthyGps_ = 0, unhealthyGlo_ = 0;
    std::map<int, TTrack> tracks_; // key: system * 1000 + number
    std::int64_t nextGpsAlmanac_[32] = {};
    std::int64_t nextGloAlmanac_[25] = {};
    int lastGpsAlmanac_ = 0, lastGloAlmanac_ = 0;
    int rtcmMessages_ = 0;
};

} // namespace telvorsim
