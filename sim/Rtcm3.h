#pragma once
// RTCM 3 frames as a base receiver sends them: the CRC-24Q, the station message 1005 and the
// GPS L1/L2 observations 1004 of an epoch; and the frame scanner the correction input counts
// with.
#include "sim/Sky.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telvorsim {

std::uint32_t crc24q(const std::uint8_t* bytes, std::size_t count);

// 0xD3, length, message, CRC.
std::vector<std::uint8_t> rtcm3Frame(const std::vector<std::uint8_t>& message);

std::vector<std::uint8_t> rtcm3Station(int stationId, const TVec& antenna);
std::vector<std::uint8_t> rtcm3GpsObservations(int stationId, const TEpoch& epoch);

// Counts whole frames in a byte stream; a frame whose CRC fails is an error.
class TRtcm3Counter {
public:
    void feed(const std::uint8_t* bytes, std::size_t count);
    int frames() const { return frames_; }
    int errors() const { return errors_; }

private:
    std::vector<std::uint8_t> pending_;
    int frames_ = 0, errors_ = 0;
};

} // namespace telvorsim
