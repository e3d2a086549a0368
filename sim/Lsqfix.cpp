#include "sim/Lsqfix.h"

#include <cmath>
#include <utility>

namespace telvorsim {
namespace {

constexpr double kWgsA = 6378137.0;
constexpr double kWgsF = 1 / 298.257223563;

} // namespace

void geodeticToEcef(double lat, double lon, double h, double& x, double& y, double& z) {
    double e2 = kWgsF * (2 - kWgsF);
    double n = kWgsA / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    x = (n + h) * std::cos(lat) * std::cos(lon);
    y = (n + h) * std::cos(lat) * std::sin(lon);
    z = (n * (1 - e2) + h) * std::sin(lat);
}

void ecefToGeodetic(const TVec& p, double& lat, double& lon, double& h) {
    const double e2 = kWgsF * (2 - kWgsF);
    const double rho = std::sqrt(p.x * p.x + p.y * p.y);
    lon = std::atan2(p.y, p.x);
    lat = std::atan2(p.z, rho * (1 - e2));
    double n = kWgsA;
    for (int i = 0; i < 10; ++i) {
        n = kWgsA / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
        lat = std::atan2(p.z + n * e2 * std::sin(lat), rho);
    }
    h = std::fabs(std::cos(lat)) > 1e-9 ? rho / std::cos(lat) - n : std::fabs(p.z) - n * (1 - e2);
}

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

TLsqResult leastSquaresFix(const std::vector<TRange>& ranges, const TVec& start) {
    TLsqResult r;
    if (ranges.size() < 4)
        return r;
    double x[4] = {start.x, start.y, start.z, 0};
    for (int iteration = 0; iteration < 8; ++iteration) {
        double n[4][4] = {}, b[4] = {}, sum = 0, weights = 0;
        for (const TRange& m : ranges) {
            double dx = m.satellite.x - x[0], dy = m.satellite.y - x[1], dz = m.satellite.z - x[2];
            double range = std::sqrt(dx * dx + dy * dy + dz * dz);
            double g[4] = {-dx / range, -dy / range, -dz / range, 1};
            double residual = m.pseudorange - (range + x[3] - kLight * m.satClock + m.delays);
            for (int i = 0; i < 4; ++i) {
                b[i] += m.weight * g[i] * residual;
                for (int j = 0; j < 4; ++j)
                    n[i][j] += m.weight * g[i] * g[j];
            }
            sum += m.weight * residual * residual;
            weights += m.weight;
        }
        if (!invert4(n))
            return r;
        double step = 0;
        for (int i = 0; i < 4; ++i) {
            double d = 0;
            for (int j = 0; j < 4; ++j)
                d += n[i][j] * b[j];
            x[i] += d;
            step += i < 3 ? d * d : 0;
        }
        r.rms = std::sqrt(sum / weights);
        if (step < 1e-6)
            break;
    }
    r.ok = true;
    r.position = {x[0], x[1], x[2]};
    r.clockBias = x[3] / kLight;
    return r;
}

} // namespace telvorsim
