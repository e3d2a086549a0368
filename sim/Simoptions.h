#pragma once
// Everything that makes one simulated receiver differ from another, and the faults a test may
// ask it to show.
#include "sim/Filesystem.h"
#include "sim/Modem.h"
#include "sim/Transferfaults.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace telvorsim {

struct TEpoch;

struct TFaults {
    double corrupt = 0;     // fraction of output bytes replaced by other bytes
    double drop = 0;        // fraction of output bytes never sent
    int replyDelayMs = 0;   // replies leave this much later than they would
    int silentAfterMs = -1; // after this long from start: no output, input ignored
    std::string refuse;     // commands matching this pattern (ECMAScript) are answered "ER"
    std::string ignore;     // commands matching this pattern get no reply at all
    TTransferFaults transfer;
    int corruptBurst = 1; // corrupted bytes come in runs of this many
    // After this many more output bytes the line goes dead for `lineDownMs` (a cable pulled):
    // output and input are lost and a block transfer in progress is abandoned. -1: never.
    std::int64_t lineDownAfterBytes = -1;
    int lineDownMs = 0;
    double slipRate = 0;  // chance of a cycle slip per tracked satellite and epoch
    double multipath = 0; // code multipath amplitude at the horizon, m (the phase gets 1 %)
};

struct TSimOptions {
    // Identity.
    std::string model = "VORNA";
    std::string serial = "SIM0421873";
    std::string id = "8PZCRG4KZ7E";
    std::string firmware = "3.1"; // "/par/rcv/ver/main"
    // Parameters this receiver lacks (with everything below them): printing one is an error.
    std::vector<std::string> omit;

    // Port. `baud` is the rate at start; `defaultBaud` the factory rate that a cleared NVRAM
    // or "init,/par/" brings back.
    unsigned baud = 115200;
    unsigned defaultBaud = 115200;
    std::string serialPort = "/dev/ser/a"; // receiver's name of the port a pty or socket pair is
    std::string tcpPort = "/dev/tcp/a";    // and of its Ethernet port
    std::string password;                  // Ethernet login; must match exactly
    std::string echoOff = "#OFF#";         // accepted silently like "#" lines
    // The serial port ("/dev/ser/b") an RFM96 radio modem hangs on; none when empty.
    std::string modemPort;
    TModemOptions modem;

    // Time: receiver time at start in milliseconds since 1970 (UTC); < 0 means now.
    std::int64_t startMs = -1;
    int epochWallMs = 1000;   // wall-clock time between epochs
    int epochStepMs = 1000;   // receiver time per epoch
    int solutionCycleS = 600; // seconds of receiver time for one round of solution types

    // Antenna position (degrees, metres) and the seed of everything random.
    double latDeg = 50.0875;
    double lonDeg = 14.4213;
    double heightM = 245.0;
    std::uint64_t seed = 1;
    // The antenna's offset from that point, m east, north and up: a second receiver with the
    // same seed and start sees the same sky from a known baseline.
    double antennaEast = 0, antennaNorth = 0, antennaUp = 0;

    int resetSilenceMs = 2000;    // a restarting receiver says nothing for this long
    std::vector<TSeedFile> files; // in the file memory at start
    TFaults faults;

    // Every byte as it leaves the port, on the receiver's thread: what a logger must have got.
    std::function<void(const std::uint8_t* bytes, std::size_t count)> onOutput;
    // Each epoch as computed, before its messages are built, on the receiver's thread: the
    // correction ports set the RTCM link figures here.
    std::function<void(TEpoch& epoch)> onEpoch;
    // Every epoch's truth (truthLine), on the receiver's thread.
    std::function<void(const std::string& line)> onTruth;

    // Diagnostics: with `verbose`, every received line and every reply goes to `log`.
    bool verbose = false;
    std::function<void(const std::string&)> log;
};

} // namespace telvorsim
