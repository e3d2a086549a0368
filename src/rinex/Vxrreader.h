#pragma once
// Reads a raw data file: raw measurements, ephemerides, ionosphere and UTC parameters, the
// position and the site records, dropping damaged messages by the splitter's checks. No Qt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telvor {

struct TRawSignal {
    double range = 0, phase = 0;
    float doppler = 0;
    double cn0 = 0; // dB-Hz
    std::uint32_t lockMs = 0;
    bool slip = false;
};

struct TRawSat {
    int system = 0; // 0 GPS, 1 GLONASS
    int prn = 0;
    int freq = 0;
    TRawSignal l1, l2;
};

struct TRawEpoch {
    int week = 0;
    std::uint32_t towMs = 0;
    std::vector<TRawSat> sats;
};

struct TGpsEph {
    int prn, health, ura, fit, week, iode, iodc;
    std::uint32_t toe, toc;
    double af0, af1, af2, tgd, sqrtA, e, m0, dn, omega, omega0, omegaDot, i0, idot, cuc, cus, crc,
        crs, cic, cis;
};

struct TGloEph {
    int slot, freq, health, n4, nt;
    std::uint32_t tb;
    double pos[3], vel[3], acc[3], tauN, gammaN;
};

struct TVxrContent {
    std::vector<TRawEpoch> epochs;
    std::vector<TGpsEph> gps;
    std::vector<TGloEph> glo;
    bool haveIono = false, haveUtc = false;
    float alpha[4] = {}, beta[4] = {};
    double a0 = 0, a1 = 0;
    std::uint32_t tot = 0;
    int wnt = 0, leap = 0;
    bool havePosition = false;
    double lat = 0, lon = 0, height = 0; // first geodetic position (rad, m)
    std::string siteName, antennaHeight, dynamics, antennaType;
    std::size_t damaged = 0; // raw-data messages whose checksum or layout failed
};

// Scans `size` bytes. Unknown bytes are skipped one at a time, as the splitter does.
TVxrContent readVxr(const std::uint8_t* data, std::size_t size);

} // namespace telvor
