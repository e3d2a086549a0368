#pragma once
// Port speed through termios2, so any rate works. Kept apart because the kernel's termios
// headers clash with <termios.h>.
#include <cstdint>

namespace telvor {

// Sets both directions' speed and nothing else; 0 on success, else the errno value. A rate
// with a standard code is set by that code, any other as a free rate.
int SetSerialSpeed(int fd, std::uint32_t bitsPerSecond);
// The output speed the port reports, 0 when it cannot be read.
std::uint32_t GetSerialSpeed(int fd);

} // namespace telvor
