#pragma once
// The fixed constellation of the simulated world: 31 GPS satellites in six planes and 24
// GLONASS satellites in three, the same for every seed and date. GPS ephemerides are issued at
// every even hour of GPS time and all describe one smooth orbit; GLONASS state vectors every
// 30 minutes come from one continuous integration of the broadcast equations of motion,
// anchored on the Moscow day of the first instant asked for. Times are GPS seconds since the
// GPS epoch.
#include "sim/Orbits.h"

#include <map>
#include <vector>

namespace telvorsim {

constexpr int kGpsCount = 31;
constexpr int kGloCount = 24;
constexpr double kGpsIssueS = 7200;
constexpr double kGloIssueS = 1800;

// Frequency number of a GLONASS slot (antipodal slots share one).
int gloFrequency(int slot);

// Earth rotation angle of the simulated world at GPS time `t`, rad.
double earthAngle(double t);
// Sun and Moon, Earth-fixed, m.
TVec sunPosition(double t);
TVec moonPosition(double t);

class TConstellation {
public:
    // The GPS ephemeris of the issue in force at `t` (toe = the even hour at or before t).
    TGpsEphemeris gpsEphemeris(int prn, double t) const;
    // The GLONASS state vector in force at `t` (|t - tb| <= 15 min) and its tb in GPS seconds.
    const TGloEphemeris& gloEphemeris(int slot, double t, double* tbGps = nullptr);
    // True states: what the broadcast data of the issue in force give.
    TSatState gps(int prn, double t) const;
    TSatState glo(int slot, double t);

private:
    struct TInterval {
        double tbGps = 0;
        TGloEphemeris eph;
        std::vector<TVec> pos, vel; // nodes every 30 s from tb - 900 s to tb + 900 s
    };
    struct TChain {
        std::map<long long, TInterval> intervals; // by index from the anchor
    };
    const TInterval& interval(int slot, long long k);
    TInterval makeInterval(int slot, double tbGps, TVec pos, TVec vel, TVec acc) const;
    double anchor_ = 0;
    bool anchored_ = false;
    TChain chains_[kGloCount + 1];
};

} // namespace telvorsim
