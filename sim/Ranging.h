#pragma once
// What lies between a satellite and the antenna, as the simulated world has it and as the
// receiver models it (the two agree): the broadcast ionosphere, a standard troposphere, the
// carrier frequencies, and the receiver's own clock.
#include <cstdint>

namespace telvorsim {

constexpr double kGpsL1 = 1575.42e6, kGpsL2 = 1227.60e6; // Hz

// L1 and L2 carrier of a GLONASS frequency number.
inline double gloL1(int k) {
    return 1602.0e6 + k * 0.5625e6;
}
inline double gloL2(int k) {
    return 1246.0e6 + k * 0.4375e6;
}

// The broadcast ionosphere's coefficients, as float: exactly what "IO" carries.
struct TIonoParams {
    float alpha[4]; // s, s/semicircle, s/semicircle^2, s/semicircle^3
    float beta[4];  // s, s/semicircle, ...
};
const TIonoParams& ionoParams();

// The L1 group delay, s, by the broadcast model: the user at `lat`, `lon` (rad), a satellite
// at elevation `el` and azimuth `az` (rad), at `towS` seconds of the GPS week. Other carriers
// scale by (f_L1 / f)^2; the carrier phase advances by as much as the code is delayed.
double klobuchar(const TIonoParams& p, double lat, double lon, double el, double az, double towS);

// Slant delay of a standard atmosphere, m: a zenith delay for the height and latitude
// (Saastamoinen, 50 % humidity) mapped by 1.001 / sqrt(0.002001 + sin^2 el).
double troposphere(double lat, double heightM, double el);

// The receiver clock, driven by the oscillator whose offset "OO" shows: its bias (receiver
// minus GPS time, s) is kept within half a millisecond by whole-millisecond steps; between
// steps its rate is minus the oscillator offset (the receiver reports the offset of system
// time from its clock, "DO").
double oscillatorOffset(std::int64_t utcMs); // s/s, without noise
double receiverClockBias(std::int64_t utcMs);

} // namespace telvorsim
