#pragma once
// Satellite positions as a receiver computes them from broadcast data: the GPS user algorithm
// for Keplerian ephemerides, and the GLONASS equations of motion (Earth-fixed frame, J2, Sun
// and Moon as constant accelerations) integrated by Runge-Kutta from a broadcast state vector.
#include <cstdint>

namespace telvorsim {

constexpr double kPi = 3.1415926535897932;
constexpr double kLight = 299792458.0;
constexpr double kGpsMu = 3.986005e14;            // m^3/s^2
constexpr double kEarthRate = 7.2921151467e-5;    // rad/s
constexpr double kRelativityF = -4.442807633e-10; // s/m^(1/2)

struct TVec {
    double x = 0, y = 0, z = 0;
};

// One GPS broadcast ephemeris; angles in radians, times in GPS seconds of `week`.
struct TGpsEphemeris {
    int prn = 0;
    int health = 0;
    int ura = 0; // index
    int week = 0;
    int iode = 0, iodc = 0;
    double toe = 0, toc = 0;
    double af0 = 0, af1 = 0, af2 = 0, tgd = 0; // s, s/s, s/s^2, s
    double sqrtA = 0, e = 0, m0 = 0, deltaN = 0, omega = 0, omega0 = 0, omegaDot = 0, i0 = 0,
           idot = 0;
    double cuc = 0, cus = 0, crc = 0, crs = 0, cic = 0, cis = 0;
};

struct TSatState {
    TVec pos, vel;    // Earth-centred, Earth-fixed, m and m/s
    double clock = 0; // satellite clock offset, s (relativity included for GPS)
    double clockRate = 0;
};

// At `t` GPS seconds since the GPS epoch (any week: the week rollover is handled).
TSatState gpsSatellite(const TGpsEphemeris& eph, double t);

// One GLONASS broadcast state vector, PZ-90, at `tb` seconds of Moscow time of day.
struct TGloEphemeris {
    int slot = 0;
    int freq = 0;
    int health = 0;
    int dayN4 = 1, n4 = 1; // the day tb belongs to
    double tb = 0;         // s of the Moscow day
    TVec pos, vel, acc;    // m, m/s, m/s^2 (Sun and Moon)
    // Satellite clock minus GLONASS time = -tauN + gammaN (t - tb), s.
    double tauN = 0, gammaN = 0;
};

// Integrates the equations of motion from `pos`, `vel` over `dt` seconds (either sign) in steps of
// at most `stepS`, with the constant acceleration `acc`.
void gloIntegrate(TVec& pos, TVec& vel, const TVec& acc, double dt, double stepS = 30);

// The Jacobi constant of the motion without Sun and Moon: conserved by the equations, a check
// of an integration (J/kg).
double gloJacobi(const TVec& pos, const TVec& vel);

// At `dt` seconds after the ephemeris' tb (GLONASS time).
TSatState gloSatellite(const TGloEphemeris& eph, double dt, double stepS = 30);

} // namespace telvorsim
