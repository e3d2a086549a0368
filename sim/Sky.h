#pragma once
// The world the receiver sees: GPS and GLONASS satellites on the orbits of their broadcast
// data, one SBAS satellite over a fixed longitude, the raw measurements of every tracked
// satellite (clock, ionosphere, troposphere, noise), the receiver's own least-squares fix from
// them, and the oscillator. Deterministic for a given seed, antenna and sequence of epoch times.
#include "sim/Constellation.h"
#include "sim/Lsqfix.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace telvorsim {

enum class TSystem { Gps, Glonass, Sbas };

// One signal of a tracked satellite, as the receiver measures it against its own clock.
struct TSignal {
    double pseudorange = 0; // m
    double phase = 0;       // cycles, same sign as the range
    double doppler = 0;     // Hz, positive when the satellite comes closer
    double cn0 = 0;         // dB-Hz
    std::uint32_t lockMs = 0;
    bool slipped = false; // the phase lost its lock since the previous epoch
};

struct TSat {
    TSystem system = TSystem::Gps;
    int number = 0; // GPS / SBAS PRN, GLONASS slot
    int freq = 0;   // GLONASS frequency number
    int index = 0;  // the receiver's satellite index: PRN, or 45 + frequency number
    double elDeg = 0, azDeg = 0;
    double dopplerHz = 0;
    int ca = 0, p1 = 255, p2 = 255; // dB-Hz, 255 unknown
    int status = 0;
    int trackS = 0;    // continuous tracking time
    bool raw = false;  // l1 and l2 hold measurements (GPS and GLONASS)
    TSignal l1, l2;    // L1 C/A, L2 P
    TVec position;     // at transmission, Earth-fixed at reception (for the fix)
    double clock = 0;  // satellite clock offset, s
    double delays = 0; // ionosphere on L1 plus troposphere, m, as the receiver models them
};

struct TFix {
    int type = 0; // 0 none, 1 standalone, 2 code differential, 3 RTK float, 4 RTK fixed
    double latRad = 0, lonRad = 0, height = 0;
    double x = 0, y = 0, z = 0;
    float vx = 0, vy = 0, vz = 0;
    float posRms = 0, velRms = 0;
    float hRms = 0, vRms = 0, hvRms = 0, vvRms = 0;
    float hdop = 0, vdop = 0, tdop = 0;
    double clockBias = 0; // s, the standalone fix's estimate
};

struct TEpoch {
    std::int64_t timeMs = 0; // receiver time, ms since 1970 (UTC)
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

    // Raw data and what belongs to it.
    std::int64_t gpsMs = 0;            // the epoch on the receiver clock, GPS time since 1980-01-06
    double clockBias = 0;              // true receiver clock minus GPS time, s
    TVec antenna;                      // true antenna position, Earth-fixed
    bool rawEpoch = false;             // a measurement epoch of the raw-data interval
    std::vector<TGpsEphemeris> gpsEph; // held for the tracked satellites
    std::vector<TGloEphemeris> gloEph;
    std::vector<int> newGpsEph, newGloEph; // PRNs / slots whose ephemeris came this epoch
    bool ionoUtc = false;                  // the ionosphere and UTC parameters are held
    bool newIonoUtc = false;               // and came this epoch
};

struct TSkySettings {
    int maskDeg = 5;           // position elevation mask
    std::set<int> gpsExcluded; // PRNs the user took out of the solution
    std::set<int> gloExcluded; // slots
    int rawMsint = 1000;       // raw-data interval, ms
};

// What makes two antennas and their faults differ.
struct TWorldOptions {
    double east = 0, north = 0, up = 0; // antenna offset from --lat/--lon/--height, m
    double slipRate = 0;                // chance of a cycle slip per satellite and epoch
    double multipath = 0;               // code multipath amplitude, m (0: none)
};

class TSky {
public:
    TSky(double latDeg, double lonDeg, double heightM, std::uint64_t seed, int cycleS,
         TWorldOptions world = {});

    // Tracking starts over; a cleared NVRAM also forgets the almanacs.
    void restart(std::int64_t timeMs);
    // The next epoch; times must not go backwards.
    TEpoch compute(std::int64_t timeMs, const TSkySettings& settings);

    static void civilDate(std::int64_t timeMs, int& year, int& month, int& day);

private:
    struct TTrack {
        std::int64_t visibleSince = -1;
        long long issue = -1; // the ephemeris issue last received
        int slipsL1 = 0, slipsL2 = 0;
        std::int64_t slipMs = -1; // last slip
    };
    // The steps of compute, in their order.
    void setClock(TEpoch& e, std::int64_t timeMs) const;           // times, oscillator, clock rate
    void trackSatellites(TEpoch& e, const TSkySettings& settings); // those locked on, by status
    void signalLevels(TEpoch& e, TSat& s, TTrack& track, const TSatState& state,
                      std::int64_t lockedAt); // C/N0, then the measurements
    void measure(TEpoch& e, TSat& s, TTrack& track, const TSatState& state);
    // Cycle slips and lock times; the code multipath now, m.
    double faults(const TEpoch& e, TSat& s, TTrack& track) const;
    void receiveEphemeris(TEpoch& e, const TSat& s, TTrack& track);
    int trackingStatus(const TSat& s, const TSkySettings& settings) const;
    int solutionType(const TEpoch& e) const;
    void solve(TEpoch& e, int type); // DOPs and the position; type 0 below 4 satellites
    // The standalone fix from the L1 code of `used`; `bias` the receiver clock's estimate
    // used for the Earth's rotation during the light time.
    TLsqResult standalone(const TEpoch& e, const std::vector<TSat*>& used, double bias);
    void countRtcm(TEpoch& e);
    void collectAlmanacs(TEpoch& e);
    // Elevation and azimuth (degrees) of an Earth-centred point from the antenna.
    void look(const TVec& p, double& el, double& az) const;
    // The state of a satellite at transmission for reception at GPS time `t`, rotated into the
    // Earth-fixed frame of reception; `tau` the light time.
    TSatState signalState(TSystem system, int number, double t, double& tau);

    double noise(std::int64_t timeMs, int channel) const; // standard normal
    std::uint32_t hash(std::uint64_t a, std::uint64_t b) const;

    double lat_, lon_, height_;
    TVec antenna_; // Earth-centred, the offset included
    std::uint64_t seed_, noiseSeed_;
    int cycleS_;
    TWorldOptions world_;
    TConstellation constellation_;
    std::int64_t restartMs_ = 0;
    int unhealthyGps_ = 0, unhealthyGlo_ = 0;
    bool ionoHeld_ = false;
    std::map<int, TTrack> tracks_; // key: system * 1000 + number
    std::int64_t nextGpsAlmanac_[32] = {};
    std::int64_t nextGloAlmanac_[25] = {};
    int lastGpsAlmanac_ = 0, lastGloAlmanac_ = 0;
    int rtcmMessages_ = 0;
};

} // namespace telvorsim
