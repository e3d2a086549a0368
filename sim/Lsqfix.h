#pragma once
// The receiver's standalone fix: weighted least squares of position and clock from code
// ranges, and the geodetic conversions it needs (WGS-84).
#include "sim/Orbits.h"

#include <vector>

namespace telvorsim {

void geodeticToEcef(double lat, double lon, double h, double& x, double& y, double& z);
void ecefToGeodetic(const TVec& p, double& lat, double& lon, double& h);
// Inverts a symmetric 4x4 matrix in place by Gauss-Jordan; false when singular.
bool invert4(double m[4][4]);

struct TRange {
    TVec satellite;      // at transmission, in the Earth-fixed frame of reception
    double satClock = 0; // s
    double delays = 0;   // modelled ionosphere and troposphere, m
    double pseudorange = 0;
    double weight = 1;
};

struct TLsqResult {
    bool ok = false;
    TVec position;
    double clockBias = 0; // s
    double rms = 0;       // of the weighted residuals, m
};

// Iterates from `start` until the step is below a millimetre (at most 8 times).
TLsqResult leastSquaresFix(const std::vector<TRange>& ranges, const TVec& start);

} // namespace telvorsim
