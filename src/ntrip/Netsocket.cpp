#include "ntrip/Netsocket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace telvor {

TWakeup::TWakeup() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
        fds_[0] = fds_[1] = -1;
}

TWakeup::~TWakeup() {
    for (int fd : fds_)
        if (fd >= 0)
            ::close(fd);
}

void TWakeup::signal() {
    const char c = 1;
    if (fds_[1] >= 0)
        (void)!::write(fds_[1], &c, 1);
}

std::int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// 1 ready, 0 timeout, -1 stop.
int waitFor(int fd, short events, int timeoutMs, const TWakeup& stop) {
    const std::int64_t end = steadyMs() + timeoutMs;
    for (;;) {
        pollfd p[2] = {{fd, events, 0}, {stop.fd(), POLLIN, 0}};
        const int left = static_cast<int>(std::max<std::int64_t>(0, end - steadyMs()));
        const int n = ::poll(p, 2, timeoutMs < 0 ? -1 : left);
        if (n < 0 && errno == EINTR)
            continue;
        if (p[1].revents)
            return -1;
        if (n > 0 && p[0].revents)
            return 1;
        if (n == 0 || (timeoutMs >= 0 && left == 0))
            return 0;
    }
}

} // namespace

int waitReadable(int fd, int timeoutMs, const TWakeup& stop) {
    return waitFor(fd, POLLIN, timeoutMs, stop);
}

int connectTcp(const std::string& host, int port, int timeoutMs, const TWakeup& stop,
               std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string where = host + ":" + std::to_string(port);
    if (const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        error = "Cannot resolve " + host + ": " + ::gai_strerror(rc);
        return -1;
    }
    error = "Cannot connect to " + where;
    int result = -1;
    for (addrinfo* a = found; a && result < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc < 0 && errno == EINPROGRESS) {
            const int w = waitFor(fd, POLLOUT, timeoutMs, stop);
            if (w < 0) {
                ::close(fd);
                error.clear();
                break;
            }
            int so = ETIMEDOUT;
            socklen_t len = sizeof so;
            if (w == 1)
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &so, &len);
            rc = so ? -1 : 0;
            errno = so;
        }
        if (rc == 0) {
            const int one = 1;
            // Corrections are small and late ones are useless: no Nagle delay.
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            result = fd;
        } else {
            error = "Cannot connect to " + where + ": " + std::strerror(errno);
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    return result;
}

bool sendAll(int fd, const std::uint8_t* bytes, std::size_t count, int timeoutMs,
             const TWakeup& stop) {
    const std::int64_t end = steadyMs() + timeoutMs;
    while (count > 0) {
        const ssize_t n = ::send(fd, bytes, count, MSG_NOSIGNAL);
        if (n > 0) {
            bytes += n;
            count -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const std::int64_t left = end - steadyMs();
        if (left <= 0 || waitFor(fd, POLLOUT, static_cast<int>(left), stop) != 1)
            return false;
    }
    return true;
}

} // namespace telvor
