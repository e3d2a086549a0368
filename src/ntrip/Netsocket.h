#pragma once
// Plain TCP for the NTRIP ends: a connect and a send that give up on a deadline or when the
// owner asks them to stop, and the wake-up a stopping owner sends.
#include <cstddef>
#include <cstdint>
#include <string>

namespace telvor {

// A pipe whose read end becomes readable once `signal()` was called; stays so.
class TWakeup {
public:
    TWakeup();
    ~TWakeup();
    TWakeup(const TWakeup&) = delete;
    TWakeup& operator=(const TWakeup&) = delete;
    void signal();
    int fd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

// A connected, non-blocking socket, or -1 with `error` set ("" when `stop` fired).
int connectTcp(const std::string& host, int port, int timeoutMs, const TWakeup& stop,
               std::string& error);

// Writes all of `count` bytes unless the peer goes, the deadline passes or `stop` fires.
bool sendAll(int fd, const std::uint8_t* bytes, std::size_t count, int timeoutMs,
             const TWakeup& stop);
inline bool sendAll(int fd, const std::string& text, int timeoutMs, const TWakeup& stop) {
    return sendAll(fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), timeoutMs,
                   stop);
}

// Waits up to `timeoutMs` for `fd` to be readable: 1 readable (or hung up), 0 timed out,
// -1 stop fired.
int waitReadable(int fd, int timeoutMs, const TWakeup& stop);

// Milliseconds of a steady clock.
std::int64_t steadyMs();

} // namespace telvor
