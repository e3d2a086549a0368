#pragma once
// Where corrections go on the computer's side: a serial port wired to the receiver's
// correction input, or a TCP address. Never the command link.
#include "ntrip/Netsocket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace telvor {

class TCorrOutput {
public:
    virtual ~TCorrOutput() = default;
    // The whole chunk, or an error text. A TCP output that lost its peer connects again on
    // the next write.
    virtual std::string write(const std::uint8_t* bytes, std::size_t count) = 0;
    virtual std::string describe() const = 0;
};

// "HOST:PORT" is a TCP address; anything else a serial device ("/dev/ttyUSB1", "COM2").
// `error` says why nothing was opened.
std::unique_ptr<TCorrOutput> openCorrOutput(const std::string& to, std::string& error);

// A serial port to read a base's correction output from: its descriptor for poll(), a
// non-blocking read (-1 once the device is gone).
class TCorrInput {
public:
    virtual ~TCorrInput() = default;
    virtual int fd() const = 0;
    virtual long read(std::uint8_t* buffer, std::size_t size) = 0;
};

std::unique_ptr<TCorrInput> openCorrInput(const std::string& device, std::string& error);

bool isTcpDestination(const std::string& to);

} // namespace telvor
