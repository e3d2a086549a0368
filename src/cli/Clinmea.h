#pragma once
// NMEA output for a telvor-cli command: --nmea-pty PATH and --nmea-tcp [ADDR:]PORT, opened
// before the command connects and attached to the input path until the command ends.
#include "cli/Commandtable.h"
#include "nmea/Nmeaoutputs.h"

#include <vector>

namespace telvor {

// The commands that take --nmea-pty and --nmea-tcp.
bool takesNmeaOptions(const std::string& command);
// The command table with the two NMEA options after the own options of those commands.
std::vector<TCliCommand> withNmeaOptions(std::vector<TCliCommand> commands);

class TCliNmea {
public:
    explicit TCliNmea(TCliContext& ctx) : ctx_(ctx) {}
    ~TCliNmea();
    TCliNmea(const TCliNmea&) = delete;
    TCliNmea& operator=(const TCliNmea&) = delete;

    // Reads the options, opens the outputs and attaches them. 0, 2 for a bad option (the
    // usage text on standard error), 1 when an output cannot be opened.
    int start();
    // Whether the command was asked for NMEA output at all (after start()).
    bool wanted() const { return config_.any(); }
    TNmeaOutputs& outputs() { return outputs_; }

private:
    TCliContext& ctx_;
    TNmeaOutputConfig config_;
    TNmeaOutputs outputs_;
};

} // namespace telvor
