#pragma once
// One epoch of the receiver's monitor messages, gathered on the input thread between the time
// message "~~" and the epoch end "||", in the values NMEA sentences need. A value the receiver
// did not send stays empty, so that its sentence field stays empty too.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace telvor {

struct TNmeaSatellite {
    int number = 0; // NMEA numbering: GPS 1..32, SBAS 33..51, GLONASS 65..96
    bool glonass = false;
    std::optional<int> elevation; // degrees, 0..90
    std::optional<int> azimuth;   // degrees, 0..359
    std::optional<int> snr;       // C/A dB-Hz
    bool used = false;            // in the position solution
};

struct TNmeaDate {
    int year = 0, month = 0, day = 0;
};

struct TNmeaEpoch {
    std::optional<std::uint32_t> timeMs; // receiver time of day (UTC), ms
    std::optional<TNmeaDate> date;
    std::optional<int> solutionType; // 0 none, 1 standalone, 2 code differential, 3 float, 4 fixed
    std::optional<double> lat, lon;  // radians
    std::optional<double> height;    // ellipsoidal, m
    std::optional<double> speed;     // over ground, m/s
    std::optional<double> course;    // degrees true, 0..360
    std::optional<double> hdop, vdop;
    std::vector<TNmeaSatellite> satellites; // in the receiver's "SI" order
    bool satellitesGiven = false;           // "SI" arrived
    bool usedGiven = false;                 // "SS" arrived: `used` is known

    bool hasFix() const { return solutionType && *solutionType >= 1 && *solutionType <= 4; }
};

// Geodetic latitude, longitude (radians) and ellipsoidal height of an Earth-centred position
// on WGS-84.
struct TGeodetic {
    double lat = 0, lon = 0, height = 0;
};
TGeodetic geodeticFromEcef(double x, double y, double z);
// East and north components of an Earth-centred velocity at (lat, lon).
void eastNorth(double lat, double lon, double vx, double vy, double vz, double& east,
               double& north);

// Gathers the messages of one epoch. Fed every split message on the input thread.
class TNmeaCollector {
public:
    // True when `message` ended an epoch ("||"); `epoch()` then holds it until the next "~~".
    bool offer(const std::uint8_t* message, std::size_t length);
    const TNmeaEpoch& epoch() const { return epoch_; }
    void reset();

private:
    void satellites(const std::uint8_t* m, std::size_t length);
    void perSatellite(char kind, const std::uint8_t* m, std::size_t length);
    void finish();

    TNmeaEpoch epoch_;
    // Raw per-satellite data in "SI" order until the epoch end makes satellites of them.
    std::vector<int> index_, slot_, el_, az_, snr_, status_;
    bool havePg_ = false;
    // "PV" kept for an epoch without "PG" (the logging list) and for the velocity.
    bool havePv_ = false;
    double pv_[6] = {};
    int pvType_ = 0;
};

} // namespace telvor
