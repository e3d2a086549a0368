#include "ntrip/Basefeed.h"

#include "ntrip/Ntripreply.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace telvor {

TBaseFeed::TBaseFeed(TBaseFeedConfig config, std::unique_ptr<TCorrInput> input)
    : config_(std::move(config)), input_(std::move(input)) {
    config_.login.version = config_.mode == TFeedMode::Post2 ? 2 : 1;
}

TBaseFeed::~TBaseFeed() {
    stop();
}

void TBaseFeed::start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

void TBaseFeed::stop() {
    stopping_ = true;
    stop_.signal();
    if (thread_.joinable())
        thread_.join();
}

TBaseFeedStatus TBaseFeed::status() const {
    std::lock_guard lock(lock_);
    return status_;
}

void TBaseFeed::note(const std::string& error, bool connected) {
    std::lock_guard lock(lock_);
    if (!error.empty())
        status_.lastError = error;
    if (connected && !status_.connected)
        ++status_.connections;
    status_.connected = connected;
}

int TBaseFeed::login(std::string& error) {
    const TCasterAddress& c = config_.login.caster;
    const int fd = connectTcp(c.host, c.port, config_.connectTimeoutMs, stop_, error);
    if (fd < 0 || config_.mode == TFeedMode::Raw)
        return fd;
    std::string got;
    bool ok = sendAll(fd, sourceRequest(config_.login), config_.connectTimeoutMs, stop_);
    TReply r;
    const std::int64_t end = steadyMs() + config_.connectTimeoutMs;
    while (ok && (r = parseSourceReply(got)).kind == TReplyKind::Incomplete) {
        const std::int64_t left = end - steadyMs();
        char buffer[1024];
        const ssize_t n = left > 0 && waitReadable(fd, static_cast<int>(left), stop_) == 1
                              ? ::recv(fd, buffer, sizeof buffer, 0)
                              : -1;
        ok = n > 0;
        if (ok)
            got.append(buffer, static_cast<std::size_t>(n));
    }
    if (ok && r.kind == TReplyKind::Stream)
        return fd;
    error = !ok               ? "No answer from the caster"
            : r.error.empty() ? "Caster refused the source"
                              : r.error;
    ::close(fd);
    return -1;
}

bool TBaseFeed::push(int fd, const std::uint8_t* bytes, std::size_t count) {
    if (config_.mode != TFeedMode::Post2)
        return sendAll(fd, bytes, count, config_.connectTimeoutMs, stop_);
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", count);
    std::string chunk = size;
    chunk.append(reinterpret_cast<const char*>(bytes), count);
    chunk += "\r\n";
    return sendAll(fd, chunk, config_.connectTimeoutMs, stop_);
}

void TBaseFeed::dropCaster(int& fd, const char* why, int backoff, std::int64_t& retryAt) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    note(why, false);
    retryAt = steadyMs() + backoff;
}

// Returns false when the serial port hung up.
bool TBaseFeed::forwardInput(int& fd, int backoff, std::int64_t& retryAt) {
    std::uint8_t buffer[4096];
    const long n = input_->read(buffer, sizeof buffer);
    if (n < 0) {
        std::lock_guard lock(lock_);
        status_.inputGone = true;
        status_.lastError = "The correction port hung up";
        return false;
    }
    const auto count = static_cast<std::size_t>(n);
    if (count == 0)
        return true;
    if (fd >= 0 && push(fd, buffer, count)) {
        std::lock_guard lock(lock_);
        status_.bytesSent += count;
        return true;
    }
    if (fd >= 0)
        dropCaster(fd, "Caster closed the connection", backoff, retryAt);
    std::lock_guard lock(lock_);
    status_.bytesDropped += count;
    return true;
}

void TBaseFeed::run() {
    int fd = -1, backoff = config_.minBackoffMs;
    std::int64_t retryAt = 0;
    while (!stopping_) {
        const std::int64_t now = steadyMs();
        if (fd < 0 && now >= retryAt) {
            std::string error;
            fd = login(error);
            note(error, fd >= 0);
            retryAt = fd < 0 ? steadyMs() + backoff : 0;
            backoff = fd < 0 ? std::min(config_.maxBackoffMs, backoff * 2) : config_.minBackoffMs;
            continue;
        }
        // The socket is watched too: a caster that hangs up is noticed before the next write.
        pollfd p[3] = {{input_->fd(), POLLIN, 0}, {stop_.fd(), POLLIN, 0}, {fd, POLLIN, 0}};
        const int wait =
            fd >= 0 ? 1000 : static_cast<int>(std::max<std::int64_t>(1, retryAt - now));
        if ((::poll(p, 3, wait) < 0 && errno != EINTR) || p[1].revents)
            break;
        char junk[512];
        if (fd >= 0 && p[2].revents && ::recv(fd, junk, sizeof junk, MSG_DONTWAIT) <= 0)
            dropCaster(fd, "Caster closed the connection", backoff, retryAt);
        if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) && !forwardInput(fd, backoff, retryAt))
            break;
    }
    if (fd >= 0)
        ::close(fd);
    note({}, false);
}

} // namespace telvor
