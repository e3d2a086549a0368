#pragma once
// Hostile peers of a sharing server on loopback, for the tests and the benchmark: raw
// connections that hold the slot, flood headers or stop reading, and a relay that puts a
// header flood on the idle connection of a real client's pair.
#include "server/Sharingpacket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace telvor::testing {

inline int connectLoopback(int port, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool sendAll(int fd, const void* data, std::size_t count) {
    const auto* p = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::send(fd, p, count, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        count -= std::size_t(n);
    }
    return true;
}

inline bool sendMessage(int fd, const std::string& message, const std::string& key) {
    const TBytes p = buildPacket(message, key);
    return sendAll(fd, p.data(), p.size());
}

// Six bytes that announce a packet of the largest length: the rest never comes.
inline std::string headerFlood(std::size_t headers) {
    std::string s;
    for (std::size_t i = 0; i < headers; ++i)
        s += std::string("\x00\x10\x06NLG", 6);
    return s;
}

// True when the server closed `fd` within `ms` (what it sent before is read and dropped).
inline bool closedByPeer(int fd, int ms) {
    char buf[4096];
    for (int waited = 0; waited < ms; waited += 50) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return true;
        }
    }
    return false;
}

// Everything `fd` brings within `ms`.
inline std::string readFor(int fd, int ms) {
    std::string got;
    char buf[4096];
    for (int waited = 0; waited < ms; waited += 20) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            got.append(buf, std::size_t(n));
        }
    }
    return got;
}

// Relays every connection from `listenPort()` to the server; the first connection of each
// pair (the idle one) also carries an endless header flood while `flood` is set.
class TFloodRelay {
public:
    explicit TFloodRelay(int serverPort) : serverPort_(serverPort) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 8);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        accepter_ = std::thread([this] { acceptLoop(); });
    }
    ~TFloodRelay() {
        stop_ = true;
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        accepter_.join();
        // Unblocks a flood that waits for the server to read.
        for (int fd : fds_)
            ::shutdown(fd, SHUT_RDWR);
        for (auto& t : threads_)
            t.join();
        for (int fd : fds_)
            ::close(fd);
    }
    int listenPort() const { return port_; }
    std::atomic<bool> flood{true};
    std::atomic<std::uint64_t> floodBytes{0};

private:
    void acceptLoop() {
        int accepted = 0;
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int client = ::accept(listen_, nullptr, nullptr);
            if (client < 0)
                continue;
            const int server = connectLoopback(serverPort_);
            if (server < 0) {
                ::close(client);
                continue;
            }
            std::lock_guard lock(lock_);
            fds_.push_back(client);
            fds_.push_back(server);
            threads_.emplace_back([this, client, server] { pump(client, server); });
            threads_.emplace_back([this, client, server] { pump(server, client); });
            if (accepted++ % 2 == 0)
                threads_.emplace_back([this, server] { floodLoop(server); });
        }
    }
    void pump(int from, int to) {
        char buf[16384];
        while (!stop_) {
            pollfd p{from, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(from, buf, sizeof buf, 0);
            if (n <= 0 || !sendAll(to, buf, std::size_t(n)))
                break;
        }
        ::shutdown(to, SHUT_WR);
    }
    void floodLoop(int server) {
        const std::string burst = headerFlood(1000);
        while (!stop_) {
            if (!flood) {
                ::usleep(20000);
                continue;
            }
            // Whole bursts keep the headers aligned; a server that stops reading blocks us.
            if (!sendAll(server, burst.data(), burst.size()))
                break;
            floodBytes += burst.size();
        }
    }

    int serverPort_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread accepter_;
    std::mutex lock_;
    std::vector<std::thread> threads_;
    std::vector<int> fds_;
};

} // namespace telvor::testing
