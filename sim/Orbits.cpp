#include "sim/Orbits.h"

#include <cmath>

namespace telvorsim {
namespace {

// PZ-90 constants of the GLONASS equations of motion.
constexpr double kGloMu = 398600.4418e9;
constexpr double kGloA = 6378136.0;
constexpr double kGloJ2 = 1082625.75e-9;
constexpr double kGloRate = 7.292115e-5;

struct TDeriv {
    TVec v, a;
};

TDeriv gloDeriv(const TVec& p, const TVec& v, const TVec& acc) {
    double r2 = p.x * p.x + p.y * p.y + p.z * p.z;
    double r = std::sqrt(r2);
    double mur3 = kGloMu / (r2 * r);
    double j = 1.5 * kGloJ2 * kGloMu * kGloA * kGloA / (r2 * r2 * r);
    double z2 = 5 * p.z * p.z / r2;
    double w2 = kGloRate * kGloRate;
    TDeriv d;
    d.v = v;
    d.a.x = -mur3 * p.x - j * p.x * (1 - z2) + w2 * p.x + 2 * kGloRate * v.y + acc.x;
    d.a.y = -mur3 * p.y - j * p.y * (1 - z2) + w2 * p.y - 2 * kGloRate * v.x + acc.y;
    d.a.z = -mur3 * p.z - j * p.z * (3 - z2) + acc.z;
    return d;
}

TVec plus(const TVec& a, const TVec& b, double k) {
    return {a.x + k * b.x, a.y + k * b.y, a.z + k * b.z};
}

void rk4Step(TVec& p, TVec& v, const TVec& acc, double h) {
    TDeriv k1 = gloDeriv(p, v, acc);
    TDeriv k2 = gloDeriv(plus(p, k1.v, h / 2), plus(v, k1.a, h / 2), acc);
    TDeriv k3 = gloDeriv(plus(p, k2.v, h / 2), plus(v, k2.a, h / 2), acc);
    TDeriv k4 = gloDeriv(plus(p, k3.v, h), plus(v, k3.a, h), acc);
    auto mix = [h](double a, double b1, double b2, double b3, double b4) {
        return a + h / 6 * (b1 + 2 * b2 + 2 * b3 + b4);
    };
    p = {mix(p.x, k1.v.x, k2.v.x, k3.v.x, k4.v.x), mix(p.y, k1.v.y, k2.v.y, k3.v.y, k4.v.y),
         mix(p.z, k1.v.z, k2.v.z, k3.v.z, k4.v.z)};
    v = {mix(v.x, k1.a.x, k2.a.x, k3.a.x, k4.a.x), mix(v.y, k1.a.y, k2.a.y, k3.a.y, k4.a.y),
         mix(v.z, k1.a.z, k2.a.z, k3.a.z, k4.a.z)};
}

} // namespace

TSatState gpsSatellite(const TGpsEphemeris& eph, double t) {
    const double a = eph.sqrtA * eph.sqrtA;
    // Time from the ephemeris epoch, taken across a week boundary.
    double tk = t - (eph.week * 604800.0 + eph.toe);
    const double n = std::sqrt(kGpsMu / (a * a * a)) + eph.deltaN;
    const double m = eph.m0 + n * tk;
    double e = m;
    for (int i = 0; i < 30; ++i) {
        double next = m + eph.e * std::sin(e);
        if (std::fabs(next - e) < 1e-14) {
            e = next;
            break;
        }
        e = next;
    }
    const double sinE = std::sin(e), cosE = std::cos(e);
    const double nu = std::atan2(std::sqrt(1 - eph.e * eph.e) * sinE, cosE - eph.e);
    const double phi = nu + eph.omega;
    const double s2 = std::sin(2 * phi), c2 = std::cos(2 * phi);
    const double u = phi + eph.cus * s2 + eph.cuc * c2;
    const double r = a * (1 - eph.e * cosE) + eph.crs * s2 + eph.crc * c2;
    const double inc = eph.i0 + eph.idot * tk + eph.cis * s2 + eph.cic * c2;
    const double node = eph.omega0 + (eph.omegaDot - kEarthRate) * tk - kEarthRate * eph.toe;
    const double xp = r * std::cos(u), yp = r * std::sin(u);
    const double cn = std::cos(node), sn = std::sin(node), ci = std::cos(inc), si = std::sin(inc);
    TSatState s;
    s.pos = {xp * cn - yp * ci * sn, xp * sn + yp * ci * cn, yp * si};

    // Rates, for the Doppler.
    const double eDot = n / (1 - eph.e * cosE);
    const double nuDot = eDot * std::sqrt(1 - eph.e * eph.e) / (1 - eph.e * cosE);
    const double uDot = nuDot * (1 + 2 * (eph.cus * c2 - eph.cuc * s2));
    const double rDot = a * eph.e * sinE * eDot + 2 * nuDot * (eph.crs * c2 - eph.crc * s2);
    const double iDot = eph.idot + 2 * nuDot * (eph.cis * c2 - eph.cic * s2);
    const double nodeDot = eph.omegaDot - kEarthRate;
    const double xpd = rDot * std::cos(u) - yp * uDot, ypd = rDot * std::sin(u) + xp * uDot;
    s.vel = {xpd * cn - ypd * ci * sn + yp * si * sn * iDot - s.pos.y * nodeDot,
             xpd * sn + ypd * ci * cn - yp * si * cn * iDot + s.pos.x * nodeDot,
             ypd * si + yp * ci * iDot};

    double tc = t - (eph.week * 604800.0 + eph.toc);
    s.clock = eph.af0 + eph.af1 * tc + eph.af2 * tc * tc + kRelativityF * eph.e * eph.sqrtA * sinE -
              eph.tgd;
    s.clockRate = eph.af1 + 2 * eph.af2 * tc + kRelativityF * eph.e * eph.sqrtA * cosE * eDot;
    return s;
}

void gloIntegrate(TVec& pos, TVec& vel, const TVec& acc, double dt, double stepS) {
    int steps = static_cast<int>(std::ceil(std::fabs(dt) / stepS));
    if (steps == 0)
        return;
    double h = dt / steps;
    for (int i = 0; i < steps; ++i)
        rk4Step(pos, vel, acc, h);
}

double gloJacobi(const TVec& p, const TVec& v) {
    double r2 = p.x * p.x + p.y * p.y + p.z * p.z;
    double r = std::sqrt(r2);
    double potential =
        -kGloMu / r + kGloMu * kGloJ2 * kGloA * kGloA / (2 * r2 * r) * (3 * p.z * p.z / r2 - 1);
    double kinetic = (v.x * v.x + v.y * v.y + v.z * v.z) / 2;
    double centrifugal = kGloRate * kGloRate * (p.x * p.x + p.y * p.y) / 2;
    return kinetic + potential - centrifugal;
}

TSatState gloSatellite(const TGloEphemeris& eph, double dt, double stepS) {
    TSatState s;
    s.pos = eph.pos;
    s.vel = eph.vel;
    gloIntegrate(s.pos, s.vel, eph.acc, dt, stepS);
    s.clock = -eph.tauN + eph.gammaN * dt;
    s.clockRate = eph.gammaN;
    return s;
}

} // namespace telvorsim
