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

void TBaseFeed::run() {
    int fd = -1, backoff = config_.minBackoffMs;
    std::int64_t retryAt = 0;
    std::uint8_t buffer[4096];
    while (!stopping_) {
        const std::int64_t now = steadyMs();
        if (fd < 0 && now >= retryAt) {
            std::string error;
            fd = login(error);
            note(error, fd >= 0);
            if (fd < 0) {
                retryAt = steadyMs() + backoff;
                backoff = std::min(config_.maxBackoffMs, backoff * 2);
            } else {
                backoff = config_.minBackoffMs;
            }
            continue;
        }
        // The socket is watched too: a caster that hangs up is noticed before the next write.
        pollfd p[3] = {{input_->fd(), POLLIN, 0}, {stop_.fd(), POLLIN, 0}, {fd, POLLIN, 0}};
        const int wait =
            fd >= 0 ? 1000 : static_cast<int>(std::max<std::int64_t>(1, retryAt - now));
        if (::poll(p, 3, wait) < 0 && errno != EINTR)
            break;
        if (p[1].revents)
            break;
        if (fd >= 0 && p[2].revents) {
            char junk[512];
            if (::recv(fd, junk, sizeof junk, MSG_DONTWAIT) <= 0) {
                ::close(fd);
                fd = -1;
                note("Caster closed the connection", false);
                retryAt = steadyMs() + backoff;
            }
        }
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const long n = input_->read(buffer, sizeof buffer);
        if (n < 0) {
            std::lock_guard lock(lock_);
            status_.inputGone = true;
            status_.lastError = "The correction port hung up";
            break;
        }
        if (n == 0)
            continue;
        const auto count = static_cast<std::size_t>(n);
        if (fd >= 0 && push(fd, buffer, count)) {
            std::lock_guard lock(lock_);
            status_.bytesSent += count;
            continue;
        }
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
            note("Caster closed the connection", false);
            retryAt = steadyMs() + backoff;
        }
        std::lock_guard lock(lock_);
        status_.bytesDropped += count;
    }
    if (fd >= 0)
        ::close(fd);
    note({}, false);
}

} // namespace telvor
