#include "links/Serialspeed.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace telvor {
namespace {

struct TRateCode {
    std::uint32_t rate;
    unsigned code;
};

constexpr TRateCode kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

} // namespace

int SetSerialSpeed(int fd, std::uint32_t rate) {
    if (rate == 0)
        return EINVAL;
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) < 0)
        return errno;
    // A standard code keeps the setting readable by ordinary termios users (the peer of a
    // pseudo-terminal reads it with tcgetattr).
    unsigned code = BOTHER;
    for (const auto& r : kRates)
        if (r.rate == rate)
            code = r.code;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= code | (code << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &tio) < 0)
        return errno;
    return 0;
}

std::uint32_t GetSerialSpeed(int fd) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) < 0)
        return 0;
    unsigned code = tio.c_cflag & CBAUD;
    if (code != BOTHER)
        for (const auto& r : kRates)
            if (r.code == code)
                return r.rate;
    return tio.c_ospeed;
}

} // namespace telvor
