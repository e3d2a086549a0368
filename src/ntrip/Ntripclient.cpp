#include "ntrip/Ntripclient.h"

#include "ntrip/Ntripreply.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace telvor {
namespace {

constexpr std::size_t kReadSize = 4096;
constexpr std::size_t kMaxSourcetable = 4 << 20;
constexpr int kRateWindowMs = 5000;

struct TSocket {
    int fd = -1;
    ~TSocket() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads until the reply's start is complete; the reply, with the received bytes in `got`.
TReply readReply(int fd, int timeoutMs, const TWakeup& stop, std::string& got,
                 TReply (*parse)(std::string_view)) {
    const std::int64_t end = steadyMs() + timeoutMs;
    for (;;) {
        TReply r = parse(got);
        if (r.kind != TReplyKind::Incomplete)
            return r;
        const std::int64_t left = end - steadyMs();
        const int w = left > 0 ? waitReadable(fd, static_cast<int>(left), stop) : 0;
        char buffer[kReadSize];
        const ssize_t n = w == 1 ? ::recv(fd, buffer, sizeof buffer, 0) : -1;
        if (n <= 0) {
            r.kind = TReplyKind::Failed;
            r.error = w < 0    ? ""
                      : w == 0 ? "No answer from the caster"
                               : "Caster closed the connection";
            return r;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
}

// The rest of a sourcetable body after its headers, until its end line or the caster closes.
std::string readBody(int fd, std::string body, const TReply& r, int timeoutMs,
                     const TWakeup& stop) {
    TChunkedDecoder chunks;
    std::string text;
    auto take = [&](const char* bytes, std::size_t n) {
        if (r.chunked)
            chunks.feed(reinterpret_cast<const std::uint8_t*>(bytes), n, text);
        else
            text.append(bytes, n);
    };
    take(body.data(), body.size());
    const std::int64_t end = steadyMs() + timeoutMs;
    while (text.find("ENDSOURCETABLE") == std::string::npos && text.size() < kMaxSourcetable &&
           !chunks.finished() && !chunks.failed() &&
           !(r.contentLength >= 0 && !r.chunked &&
             text.size() >= static_cast<std::size_t>(r.contentLength))) {
        const std::int64_t left = end - steadyMs();
        char buffer[kReadSize];
        const ssize_t n = left > 0 && waitReadable(fd, static_cast<int>(left), stop) == 1
                              ? ::recv(fd, buffer, sizeof buffer, 0)
                              : -1;
        if (n <= 0)
            break;
        take(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

} // namespace

std::string stateText(TNtripState state) {
    switch (state) {
    case TNtripState::Idle:
        return "Idle";
    case TNtripState::Connecting:
        return "Connecting";
    case TNtripState::Streaming:
        return "Receiving";
    case TNtripState::Waiting:
        return "Waiting to reconnect";
    case TNtripState::Refused:
        return "Refused";
    case TNtripState::Stopped:
        return "Stopped";
    }
    return {};
}

TNtripClient::TNtripClient(TNtripClientConfig config, TDeliver deliver)
    : config_(std::move(config)), deliver_(std::move(deliver)) {}

TNtripClient::~TNtripClient() {
    stop();
}

void TNtripClient::start() {
    if (thread_.joinable())
        return;
    thread_ = std::thread([this] { run(); });
}

void TNtripClient::stop() {
    stopping_ = true;
    stop_.signal();
    if (thread_.joinable())
        thread_.join();
}

TNtripStatus TNtripClient::status() const {
    std::lock_guard lock(lock_);
    TNtripStatus s = status_;
    const std::int64_t now = steadyMs();
    s.ageMs = lastDataMs_ < 0 ? -1 : now - lastDataMs_;
    const std::int64_t span = std::max<std::int64_t>(1000, now - rateStartMs_);
    s.rate = rateStartMs_ == 0 || (lastDataMs_ >= 0 && now - lastDataMs_ > kRateWindowMs)
                 ? 0
                 : rateBytes_ * 1000.0 / static_cast<double>(span);
    return s;
}

void TNtripClient::setState(TNtripState state, const std::string& error) {
    std::lock_guard lock(lock_);
    status_.state = state;
    if (error != "\x01")
        status_.lastError = error;
}

bool TNtripClient::sleepMs(int ms) {
    return waitReadable(stop_.fd(), ms, stop_) == 0 && !stopping_;
}

void TNtripClient::run() {
    int backoff = config_.minBackoffMs;
    while (!stopping_) {
        const bool streamed = session();
        if (stopping_)
            break;
        {
            std::lock_guard lock(lock_);
            if (status_.state == TNtripState::Refused)
                return;
        }
        if (streamed)
            backoff = config_.minBackoffMs;
        setState(TNtripState::Waiting);
        if (!sleepMs(backoff))
            break;
        backoff = std::min(config_.maxBackoffMs, backoff * 2);
    }
    setState(TNtripState::Stopped);
}

bool TNtripClient::session() {
    setState(TNtripState::Connecting);
    std::string error;
    TSocket s;
    s.fd = connectTcp(config_.login.caster.host, config_.login.caster.port,
                      config_.connectTimeoutMs, stop_, error);
    if (s.fd < 0) {
        if (!error.empty())
            setState(TNtripState::Connecting, error);
        return false;
    }
    if (!sendAll(s.fd, clientRequest(config_.login), config_.connectTimeoutMs, stop_)) {
        setState(TNtripState::Connecting, "Caster closed the connection");
        return false;
    }
    std::string got;
    const TReply r = readReply(s.fd, config_.connectTimeoutMs, stop_, got, parseReply);
    switch (r.kind) {
    case TReplyKind::Stream:
        break;
    case TReplyKind::Sourcetable: {
        TSourcetable table = parseSourcetable(
            readBody(s.fd, got.substr(r.headerLength), r, config_.connectTimeoutMs, stop_));
        std::lock_guard lock(lock_);
        status_.sourcetable = std::move(table);
        status_.state = TNtripState::Refused;
        status_.lastError = kMountNotFoundText;
        return false;
    }
    case TReplyKind::Unauthorized:
    case TReplyKind::NotFound:
        setState(TNtripState::Refused, r.error);
        return false;
    default:
        if (!r.error.empty())
            setState(TNtripState::Connecting, r.error);
        return false;
    }
    {
        std::lock_guard lock(lock_);
        ++status_.connections;
        status_.state = TNtripState::Streaming;
        status_.lastError.clear();
    }
    return readStream(s.fd, got.substr(r.headerLength), r.chunked);
}

void TNtripClient::received(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0)
        return;
    const std::string error = deliver_(bytes, count);
    const std::int64_t now = steadyMs();
    std::lock_guard lock(lock_);
    status_.bytes += count;
    if (!error.empty())
        status_.lastError = error;
    if (rateStartMs_ == 0 || now - rateStartMs_ > kRateWindowMs) {
        rateStartMs_ = now;
        rateBytes_ = 0;
    }
    rateBytes_ += count;
    lastDataMs_ = now;
}

bool TNtripClient::readStream(int fd, std::string pending, bool chunked) {
    TChunkedDecoder chunks;
    std::string data;
    auto take = [&](const std::uint8_t* bytes, std::size_t n) {
        if (!chunked)
            return received(bytes, n), true;
        data.clear();
        const bool ok = chunks.feed(bytes, n, data);
        received(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        return ok && !chunks.finished();
    };
    if (!take(reinterpret_cast<const std::uint8_t*>(pending.data()), pending.size()))
        return setState(TNtripState::Waiting, chunks.error()), true;
    std::int64_t lastRead = steadyMs(), nextGga = 0;
    for (;;) {
        const std::int64_t now = steadyMs();
        if (config_.ggaSeconds > 0 && config_.gga && now >= nextGga) {
            const std::string sentence = config_.gga();
            if (!sentence.empty() && !sendAll(fd, sentence, config_.connectTimeoutMs, stop_))
                return setState(TNtripState::Waiting, "Caster closed the connection"), true;
            nextGga = now + config_.ggaSeconds * 1000LL;
        }
        int wait = config_.idleTimeoutMs - static_cast<int>(now - lastRead);
        if (config_.ggaSeconds > 0)
            wait = std::min<int>(wait, static_cast<int>(std::max<std::int64_t>(0, nextGga - now)));
        if (wait <= 0 && now - lastRead >= config_.idleTimeoutMs)
            return setState(TNtripState::Waiting, "No data from the caster"), true;
        const int w = waitReadable(fd, std::max(0, wait), stop_);
        if (w < 0)
            return true;
        if (w == 0)
            continue;
        std::uint8_t buffer[kReadSize];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return setState(TNtripState::Waiting, "Caster closed the connection"), true;
        lastRead = steadyMs();
        if (!take(buffer, static_cast<std::size_t>(n)))
            return setState(TNtripState::Waiting,
                            chunks.failed() ? chunks.error() : "Caster ended the stream"),
                   true;
    }
}

TSourcetable fetchSourcetable(const TNtripLogin& login, int timeoutMs, std::string& error) {
    TWakeup never;
    TSocket s;
    s.fd = connectTcp(login.caster.host, login.caster.port, timeoutMs, never, error);
    if (s.fd < 0)
        return {};
    TNtripLogin root = login;
    root.mount.clear();
    if (!sendAll(s.fd, clientRequest(root), timeoutMs, never)) {
        error = "Caster closed the connection";
        return {};
    }
    std::string got;
    const TReply r = readReply(s.fd, timeoutMs, never, got, parseReply);
    if (r.kind != TReplyKind::Sourcetable) {
        error = r.kind == TReplyKind::Stream ? "Caster sent no sourcetable" : r.error;
        return {};
    }
    error.clear();
    return parseSourcetable(readBody(s.fd, got.substr(r.headerLength), r, timeoutMs, never));
}

} // namespace telvor
