// The NMEA TCP server.
#include "nmea/Tcpoutput.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace telvor {
namespace {

// Room for a few epochs; a client further behind than this is not keeping up.
constexpr int kClientSendBuffer = 32 * 1024;

} // namespace

std::string TTcpOutput::listen(const std::string& address, int port) {
    close();
    sockaddr_storage sa{};
    socklen_t len = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&sa);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&sa);
    if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        len = sizeof *v4;
    } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        len = sizeof *v6;
    } else {
        return "not a numeric address: " + address;
    }
    const int fd = ::socket(sa.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::string("can't open a socket: ") + std::strerror(errno);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(fd, 16) != 0) {
        const std::string error =
            "can't listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return error;
    }
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    address_ = address;
    listen_ = fd;
    return {};
}

void TTcpOutput::close() {
    std::lock_guard lock(lock_);
    for (int c : clients_)
        ::close(c);
    clients_.clear();
    if (listen_ >= 0)
        ::close(listen_);
    listen_ = -1;
}

void TTcpOutput::write(std::string_view bytes) {
    std::lock_guard lock(lock_);
    for (auto it = clients_.begin(); it != clients_.end();) {
        const ssize_t n = ::send(*it, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == static_cast<ssize_t>(bytes.size())) {
            ++it;
            continue;
        }
        // A short send would leave half a sentence: the client is dropped either way.
        if (n >= 0 || errno == EAGAIN || errno == EWOULDBLOCK)
            ++dropped_;
        ::close(*it);
        it = clients_.erase(it);
    }
}

void TTcpOutput::service() {
    if (listen_ < 0)
        return;
    for (;;) {
        const int c = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c < 0)
            break;
        ::setsockopt(c, SOL_SOCKET, SO_SNDBUF, &kClientSendBuffer, sizeof kClientSendBuffer);
        std::lock_guard lock(lock_);
        clients_.push_back(c);
    }
    std::lock_guard lock(lock_);
    for (auto it = clients_.begin(); it != clients_.end();) {
        char buf[512];
        ssize_t n;
        while ((n = ::recv(*it, buf, sizeof buf, MSG_DONTWAIT)) > 0) {
        }
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            ::close(*it);
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

void TTcpOutput::pollFds(std::vector<int>& fds) const {
    std::lock_guard lock(lock_);
    if (listen_ >= 0)
        fds.push_back(listen_);
    fds.insert(fds.end(), clients_.begin(), clients_.end());
}

int TTcpOutput::clientCount() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(clients_.size());
}

int TTcpOutput::dropped() const {
    std::lock_guard lock(lock_);
    return dropped_;
}

} // namespace telvor
