#include "sim/Transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace telvorsim {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kMaxRefused = 8;
constexpr long long kRefusedLingerMs = 2000;

long long steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

speed_t standardSpeed(unsigned rate) {
    static const struct {
        unsigned rate;
        speed_t speed;
    } kSpeeds[] = {{300, B300},      {600, B600},       {1200, B1200},     {2400, B2400},
                   {4800, B4800},    {9600, B9600},     {19200, B19200},   {38400, B38400},
                   {57600, B57600},  {115200, B115200}, {230400, B230400}, {460800, B460800},
                   {921600, B921600}};
    for (auto& s : kSpeeds)
        if (s.rate == rate)
            return s.speed;
    return 0;
}

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

// ---- pseudo-terminal ------------------------------------------------------------------------

TPtyTransport::~TPtyTransport() {
    if (master_ >= 0)
        ::close(master_);
    if (!link_.empty()) {
        // Only our own link: someone may have replaced it meanwhile.
        char target[512];
        ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slave_)
            ::unlink(link_.c_str());
    }
}

bool TPtyTransport::open(const std::string& linkPath, unsigned rate, std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = errnoText("posix_openpt");
        return false;
    }
    char name[256];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        error = errnoText("pty");
        return false;
    }
    slave_ = name;
    // Raw at our own rate, so that a client that sets nothing talks to us; and closed again so
    // the master reports that nobody has the port open.
    int s = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        error = errnoText("open slave");
        return false;
    }
    termios t{};
    ::tcgetattr(s, &t);
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (speed_t sp = standardSpeed(rate)) {
        ::cfsetispeed(&t, sp);
        ::cfsetospeed(&t, sp);
        ::tcsetattr(s, TCSANOW, &t);
    } else {
        ::tcsetattr(s, TCSANOW, &t);
        ptySetRate(s, rate);
    }
    ::close(s);
    if (!linkPath.empty()) {
        struct stat st;
        if (::lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = linkPath + " exists and is not a symbolic link";
                return false;
            }
            ::unlink(linkPath.c_str());
        }
        if (::symlink(slave_.c_str(), linkPath.c_str()) != 0) {
            error = errnoText(("symlink " + linkPath).c_str());
            return false;
        }
        link_ = linkPath;
    }
    return true;
}

void TPtyTransport::addPollFds(std::vector<pollfd>& fds, bool wantWrite) {
    // Without a peer the master reports a hang-up at once; refresh() watches for one instead.
    short events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
    fds.push_back({present_ ? master_ : -1, events, 0});
}

int TPtyTransport::refresh(TTransportSink& sink) {
    pollfd p{master_, POLLIN, 0};
    ::poll(&p, 1, 0);
    bool present = !(p.revents & POLLHUP);
    if (present && !present_) {
        present_ = true;
        sink.onPeerConnected();
    } else if (!present && present_) {
        // What the client wrote before it closed still reached the receiver's UART.
        std::uint8_t buffer[kReadChunk];
        ssize_t n;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            sink.onPeerInput(buffer, static_cast<std::size_t>(n));
        present_ = false;
        flushSlaveInput();
        sink.onPeerGone();
    }
    return present_ ? -1 : 20;
}

void TPtyTransport::flushSlaveInput() {
    // Bytes the last client left unread must not greet the next one.
    int s = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (s >= 0) {
        ::tcflush(s, TCIOFLUSH);
        ::close(s);
    }
}

void TPtyTransport::onPoll(const pollfd* first, TTransportSink& sink) {
    if (!present_ || !(first->revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            sink.onPeerInput(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // EIO: the last client closed the slave.
        present_ = false;
        flushSlaveInput();
        sink.onPeerGone();
        return;
    }
}

long TPtyTransport::write(const std::uint8_t* data, std::size_t count) {
    if (!present_)
        return -1;
    ssize_t n = ::write(master_, data, count);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    return -1;
}

unsigned TPtyTransport::peerRate() const {
    return ptyReadRate(master_);
}

// ---- TCP ------------------------------------------------------------------------------------

TTcpTransport::~TTcpTransport() {
    for (auto& r : refused_)
        ::close(r.fd);
    if (client_ >= 0)
        ::close(client_);
    if (listen_ >= 0)
        ::close(listen_);
}

bool TTcpTransport::open(const std::string& address, int port, std::string& error) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_ < 0) {
        error = errnoText("socket");
        return false;
    }
    int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) {
        error = "bad address " + address;
        return false;
    }
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_, 4) != 0) {
        error = errnoText("bind");
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    return true;
}

void TTcpTransport::addPollFds(std::vector<pollfd>& fds, bool wantWrite) {
    fds.push_back({accepting_ ? listen_ : -1, POLLIN, 0});
    fds.push_back({client_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0});
    for (auto& r : refused_)
        fds.push_back({r.fd, POLLIN, 0});
    polledRefused_ = refused_.size();
}

int TTcpTransport::refresh(TTransportSink&) {
    long long now = steadyMs();
    int wait = -1;
    for (std::size_t i = 0; i < refused_.size();) {
        if (refused_[i].closeAtMs <= now) {
            ::close(refused_[i].fd);
            refused_.erase(refused_.begin() + static_cast<long>(i));
            continue;
        }
        int left = static_cast<int>(refused_[i].closeAtMs - now);
        wait = wait < 0 ? left : std::min(wait, left);
        ++i;
    }
    return wait;
}

void TTcpTransport::onPoll(const pollfd* first, TTransportSink& sink) {
    // Whatever a turned-away client says is not listened to; its hang-up ends it early.
    for (std::size_t i = polledRefused_; i-- > 0;) {
        if (!(first[2 + i].revents & (POLLIN | POLLHUP | POLLERR)) || i >= refused_.size())
            continue;
        char discard[512];
        ssize_t n = ::recv(refused_[i].fd, discard, sizeof discard, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            ::close(refused_[i].fd);
            refused_.erase(refused_.begin() + static_cast<long>(i));
        }
    }
    polledRefused_ = 0;
    if (accepting_ && (first[0].revents & POLLIN)) {
        int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            if (client_ >= 0) {
                std::string text = sink.refusalText();
                ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
                if (refused_.size() < kMaxRefused)
                    refused_.push_back({fd, steadyMs() + kRefusedLingerMs});
                else
                    ::close(fd);
            } else {
                client_ = fd;
                sink.onPeerConnected();
            }
        }
    }
    if (client_ < 0 || first[1].fd != client_ || !(first[1].revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
        if (n > 0) {
            sink.onPeerInput(buffer, static_cast<std::size_t>(n));
            if (client_ < 0)
                return; // the input made us hang up
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        dropPeer();
        sink.onPeerGone();
        return;
    }
}

long TTcpTransport::write(const std::uint8_t* data, std::size_t count) {
    if (client_ < 0)
        return -1;
    ssize_t n = ::send(client_, data, count, MSG_NOSIGNAL);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    dropPeer();
    return -1;
}

void TTcpTransport::dropPeer() {
    if (client_ >= 0) {
        ::shutdown(client_, SHUT_RDWR);
        ::close(client_);
        client_ = -1;
    }
}

// ---- socket pair ----------------------------------------------------------------------------

TPairTransport::~TPairTransport() {
    if (fd_ >= 0)
        ::close(fd_);
}

int TPairTransport::open(std::string& error) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        error = errnoText("socketpair");
        return -1;
    }
    fd_ = sv[0];
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    return sv[1];
}

void TPairTransport::addPollFds(std::vector<pollfd>& fds, bool wantWrite) {
    fds.push_back({fd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0});
}

void TPairTransport::onPoll(const pollfd* first, TTransportSink& sink) {
    if (fd_ < 0 || !(first->revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            sink.onPeerInput(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        ::close(fd_);
        fd_ = -1;
        sink.onPeerGone();
        return;
    }
}

long TPairTransport::write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0)
        return -1;
    ssize_t n = ::send(fd_, data, count, MSG_NOSIGNAL);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    return -1;
}

} // namespace telvorsim
