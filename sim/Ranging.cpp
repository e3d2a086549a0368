#include "sim/Ranging.h"

#include <cmath>

namespace telvorsim {
namespace {

constexpr double kPi = 3.1415926535897932;
constexpr double kOscMean = 1.5e-7, kOscSwing = 4e-8, kOscPeriodS = 5400;

} // namespace

const TIonoParams& ionoParams() {
    static const TIonoParams kParams = {{1.2107e-8f, 1.4901e-8f, -5.9605e-8f, -1.1921e-7f},
                                        {98304.0f, 65536.0f, -131072.0f, -393216.0f}};
    return kParams;
}

double klobuchar(const TIonoParams& p, double lat, double lon, double el, double az, double towS) {
    // Angles in semicircles, as the model is written.
    const double e = el / kPi;
    const double psi = 0.0137 / (e + 0.11) - 0.022;
    double phiI = lat / kPi + psi * std::cos(az);
    phiI = phiI > 0.416 ? 0.416 : phiI < -0.416 ? -0.416 : phiI;
    const double lamI = lon / kPi + psi * std::sin(az) / std::cos(phiI * kPi);
    const double phiM = phiI + 0.064 * std::cos((lamI - 1.617) * kPi);
    double t = std::fmod(4.32e4 * lamI + towS, 86400.0);
    if (t < 0)
        t += 86400;
    const double f = 1 + 16 * std::pow(0.53 - e, 3);
    double amp = 0, per = 0;
    for (int n = 3; n >= 0; --n) {
        amp = amp * phiM + p.alpha[n];
        per = per * phiM + p.beta[n];
    }
    amp = amp < 0 ? 0 : amp;
    per = per < 72000 ? 72000 : per;
    const double x = 2 * kPi * (t - 50400) / per;
    if (std::fabs(x) >= 1.57)
        return f * 5e-9;
    return f * (5e-9 + amp * (1 - x * x / 2 + x * x * x * x / 24));
}

double troposphere(double lat, double heightM, double el) {
    const double h = heightM < 0 ? 0 : heightM;
    const double pressure = 1013.25 * std::pow(1 - 2.2557e-5 * h, 5.2568);
    const double temp = 288.15 - 0.0065 * h;
    const double vapour = 0.5 * 6.108 * std::exp((17.15 * temp - 4684.0) / (temp - 38.45));
    const double dry = 0.0022768 * pressure / (1 - 0.00266 * std::cos(2 * lat) - 0.00028e-3 * h);
    const double wet = 0.002277 * (1255 / temp + 0.05) * vapour;
    const double s = std::sin(el);
    return (dry + wet) * 1.001 / std::sqrt(0.002001 + s * s);
}

double oscillatorOffset(std::int64_t utcMs) {
    const double phase = 2 * kPi * std::fmod(utcMs / 1000.0, kOscPeriodS) / kOscPeriodS;
    return kOscMean + kOscSwing * std::sin(phase);
}

double receiverClockBias(std::int64_t utcMs) {
    // The integral of the offset, closed form, then folded into +-0.5 ms.
    const double seconds = static_cast<double>(utcMs / 1000) + (utcMs % 1000) / 1000.0;
    const double phase = 2 * kPi * std::fmod(utcMs / 1000.0, kOscPeriodS) / kOscPeriodS;
    const double drift =
        kOscMean * std::fmod(seconds, 2e4) - kOscSwing * kOscPeriodS / (2 * kPi) * std::cos(phase);
    // 1.5e-7 * 2e4 s is 3 ms, a whole number of steps: folding the time keeps precision.
    return -(drift - 1e-3 * std::round(drift / 1e-3));
}

} // namespace telvorsim
