#include "links/Tcpasyncconn.h"
#include "protocol/Bridge.h"

#include "protocol/Debugcore.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace telvor {
namespace {

int pollRetry(pollfd* fds, nfds_t count, int timeoutMs) {
    int r;
    while ((r = ::poll(fds, count, timeoutMs)) < 0 && errno == EINTR) {
    }
    return r;
}

} // namespace

bool CTCPAsyncConnection::IsDottedAddress(std::string_view host) {
    if (host.size() < 7 || host.size() > 16)
        return false;
    int dots = 0, digits = 0, value = 0;
    for (char c : host) {
        if (c == '.') {
            if (digits == 0)
                return false;
            ++dots;
            digits = value = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 3)
                return false;
            value = value * 10 + (c - '0');
            if (value > 255)
                return false;
        } else {
            return false;
        }
    }
    return dots == 3 && digits > 0;
}

CTCPAsyncConnection::CTCPAsyncConnection(std::string description, std::string host,
                                         std::string portText)
    : TReceiverConnection(kLinkEthernet) {
    (void)description; // the link names itself once connected
    cancelFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!host.empty() && !portText.empty()) {
        unsigned long port = std::strtoul(portText.c_str(), nullptr, 10);
        port_ = port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
        // Longer than any host name can be: leave the host empty, the connect then fails.
        if (host.size() <= kMaxHost)
            host_ = std::move(host);
    }
}

CTCPAsyncConnection::~CTCPAsyncConnection() {
    Cancel();
    idleEvent_.Wait(-1);
    if (worker_.joinable())
        worker_.join();
    StopThread();
    CloseSocket();
    if (cancelFd_ >= 0)
        ::close(cancelFd_);
}

bool CTCPAsyncConnection::IsConnected() const {
    std::lock_guard lock(sockLock_);
    return socket_ >= 0 || (connectingSocket_.load() >= 0 && linkState_.load() == kConnecting);
}

std::string CTCPAsyncConnection::Description() const {
    std::lock_guard lock(sockLock_);
    return description_;
}

std::string CTCPAsyncConnection::PeerDescription() const {
    std::lock_guard lock(sockLock_);
    return peerDescription_;
}

bool CTCPAsyncConnection::StartConnect(TEvent* done) {
    // Cleared here rather than in the worker, so two quick calls cannot both start one.
    if (!idleEvent_.IsSet())
        return false;
    idleEvent_.Reset();
    if (worker_.joinable())
        worker_.join();
    done_ = done;
    cancelled_.store(false);
    std::uint64_t value;
    while (::read(cancelFd_, &value, sizeof value) > 0) {
    }
    worker_ = std::thread([this] {
        Connect();
        TEvent* done = done_;
        idleEvent_.Set();
        if (done)
            done->Set();
    });
    return true;
}

bool CTCPAsyncConnection::Connect() {
    if (IsConnected()) {
        SetErrorText("Error: The Socket already is bound to server");
        return false;
    }
    linkState_.store(kIdle);
    peerPort_.store(0);
    if (host_.empty() || cancelFd_ < 0) {
        SetErrorText("Error: Unable to get the host name");
        return false;
    }
    // The Part's texts stay the first line; the reason follows on a line of its own.
    const std::string where = "(" + host_ + ":" + std::to_string(port_) + ")";
    if (port_ == 0) {
        SetErrorText("Error: Connecting to the server failed\nInvalid port " + where);
        return false;
    }
    const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (sock < 0) {
        SetErrorText("Error: Allocating socket failed");
        return false;
    }
    connectingSocket_.store(sock);
    linkState_.store(kConnecting);
    auto fail = [&](const std::string& text) {
        connectingSocket_.store(-1);
        ::close(sock);
        linkState_.store(kIdle);
        SetErrorText(text);
        return false;
    };
    const std::string connectFailed = "Error: Connecting to the server failed";
    auto reason = [&](int error) {
        return connectFailed + "\n" + (error ? std::strerror(error) : "No answer") + " " + where;
    };

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    std::string name = host_;
    if (IsDottedAddress(host_)) {
        if (::inet_pton(AF_INET, host_.c_str(), &address.sin_addr) != 1)
            return fail("Error: Unable to get the host name");
        char found[NI_MAXHOST];
        if (::getnameinfo(reinterpret_cast<sockaddr*>(&address), sizeof address, found,
                          sizeof found, nullptr, 0, NI_NAMEREQD) == 0)
            name = found;
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        const int found = ::getaddrinfo(host_.c_str(), nullptr, &hints, &result);
        if (found != 0 || !result) {
            if (result)
                ::freeaddrinfo(result);
            return fail("Error: Unable to get the host name\nUnknown host \"" + host_ + "\" (" +
                        ::gai_strerror(found) + ")");
        }
        address.sin_addr = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
        ::freeaddrinfo(result);
    }

    // A non-blocking connect that Cancel can interrupt.
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        if (errno != EINPROGRESS)
            return fail(reason(errno));
        pollfd fds[2] = {{sock, POLLOUT, 0}, {cancelFd_, POLLIN, 0}};
        pollRetry(fds, 2, -1);
        int error = 0;
        socklen_t size = sizeof error;
        if (fds[1].revents || !(fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) ||
            ::getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &size) < 0 || error != 0)
            return fail(fds[1].revents ? connectFailed : reason(error));
    }
    int one = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
    const auto* b = reinterpret_cast<const std::uint8_t*>(&address.sin_addr);
    std::string peer = "TCP " + name;
    if (b[0] && b[1] && b[2] && b[3])
        peer += " [" + std::string(dotted) + "]";
    char portText[16];
    std::snprintf(portText, sizeof portText, ":%u", static_cast<unsigned>(port_));
    peer += portText;

    {
        std::lock_guard lock(sockLock_);
        if (Cancelled())
            return fail(connectFailed);
        connectingSocket_.store(-1);
        socket_ = sock;
        peerPort_.store(port_);
        linkState_.store(kConnected);
        peerDescription_ = peer;
        description_ = "TCP " + host_;
    }
    ClearErrorText();
    ResumeThread();
    return true;
}

void CTCPAsyncConnection::CloseSocket() {
    std::lock_guard lock(sockLock_);
    if (socket_ < 0)
        return;
    ::shutdown(socket_, SHUT_WR);
    ::shutdown(socket_, SHUT_RD);
    ::close(socket_);
    socket_ = -1;
    linkState_.store(kIdle);
    peerPort_.store(0);
}

void CTCPAsyncConnection::Cancel() {
    {
        std::lock_guard lock(sockLock_);
        cancelled_.store(true);
    }
    if (cancelFd_ >= 0) {
        std::uint64_t one = 1;
        while (::write(cancelFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    // The shutdown inside wakes a thread waiting on the socket; the connect worker closes the
    // socket it is connecting itself.
    CloseSocket();
    linkState_.store(kIdle);
    peerPort_.store(0);
}

void CTCPAsyncConnection::WaitEvent(std::uint32_t& word) {
    word = 0;
    int sock;
    {
        std::lock_guard lock(sockLock_);
        sock = socket_;
    }
    if (sock < 0) {
        if (WaitWake(100))
            ResetWake();
        return;
    }
    pollfd fds[2] = {{sock, POLLIN, 0}, {WakeFd(), POLLIN, 0}};
    pollRetry(fds, 2, -1);
    if (fds[1].revents) {
        ResetWake();
        return;
    }
    word = kEventData;
}

int CTCPAsyncConnection::Read(std::uint8_t* buffer, int count) {
    if (count <= 0)
        return 0;
    int sock;
    {
        std::lock_guard lock(sockLock_);
        sock = socket_;
    }
    if (sock < 0)
        return 0;
    // Waits for the next packet, or for the wake-up of a close.
    pollfd fds[2] = {{sock, POLLIN, 0}, {WakeFd(), POLLIN, 0}};
    pollRetry(fds, 2, -1);
    if (fds[1].revents)
        return 0;

    std::lock_guard lock(sockLock_);
    if (socket_ != sock)
        return 0;
    const int want = count < kReceiveSize ? count : kReceiveSize;
    const ssize_t r = ::recv(sock, buffer, want, MSG_DONTWAIT);
    if (r > 0)
        return static_cast<int>(r);
    if (r < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    const bool failed = r < 0;
    ::shutdown(socket_, SHUT_RDWR);
    ::close(socket_);
    socket_ = -1;
    linkState_.store(kIdle);
    peerPort_.store(0);
    if (failed)
        WaitWake(50);
    return 0;
}

int CTCPAsyncConnection::Write(const std::uint8_t* bytes, int count) {
    if (count <= 0)
        return 0;
    LastWriteTick.store(tickCount());
    int sent = 0;
    while (sent < count) {
        int sock;
        ssize_t r;
        int error = 0;
        {
            std::lock_guard lock(sockLock_);
            sock = socket_;
            if (sock < 0)
                return sent;
            r = ::send(sock, bytes + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            error = errno;
        }
        if (r > 0) {
            sent += static_cast<int>(r);
            continue;
        }
        if (r < 0 && error == EINTR)
            continue;
        if (r < 0 && error == EAGAIN) {
            pollfd fds[2] = {{sock, POLLOUT, 0}, {cancelFd_, POLLIN, 0}};
            pollRetry(fds, 2, 1000);
            if (fds[1].revents)
                return sent;
            continue;
        }
        char text[80];
        std::snprintf(text, sizeof text, "Sending data to the server failed. Error: %d", error);
        SetErrorText(text);
        debugCore().postError(text);
        uiBridge().showError("Error", text);
        return sent;
    }
    return sent;
}

} // namespace telvor
