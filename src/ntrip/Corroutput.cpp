#include "ntrip/Corroutput.h"

#include "links/Serialconnection.h"
#include "ntrip/Ntriprequest.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace telvor {
namespace {

constexpr int kWriteTimeoutMs = 2000;

// The serial link's open: exclusive, raw, 115200 bits/s. Its input thread is never started,
// so nothing reads the port but us.
class TSerialPort {
public:
    explicit TSerialPort(const std::string& device) : link_(device, false) {}
    std::string error() const { return link_.PortHandle() < 0 ? link_.ErrorText() : std::string(); }
    int fd() const { return link_.PortHandle(); }

private:
    TSerialConnection link_;
};

class TSerialOutput : public TCorrOutput {
public:
    explicit TSerialOutput(const std::string& device) : port_(device), device_(device) {}
    std::string openError() const { return port_.error(); }
    std::string write(const std::uint8_t* bytes, std::size_t count) override {
        if (!sendTty(bytes, count))
            return "Write to " + device_ + " failed: " + std::strerror(errno ? errno : EIO);
        return {};
    }
    std::string describe() const override { return device_; }

private:
    bool sendTty(const std::uint8_t* bytes, std::size_t count) {
        const std::int64_t end = steadyMs() + kWriteTimeoutMs;
        while (count > 0) {
            const ssize_t n = ::write(port_.fd(), bytes, count);
            if (n > 0) {
                bytes += n;
                count -= static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return false;
            pollfd p{port_.fd(), POLLOUT, 0};
            const std::int64_t left = end - steadyMs();
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0 ||
                (p.revents & (POLLERR | POLLNVAL))) {
                errno = ETIMEDOUT;
                return false;
            }
        }
        return true;
    }
    TSerialPort port_;
    std::string device_;
};

class TTcpOutput : public TCorrOutput {
public:
    TTcpOutput(TCasterAddress address, std::string text)
        : address_(std::move(address)), text_(std::move(text)) {}
    ~TTcpOutput() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    std::string connect() {
        std::string error;
        fd_ = connectTcp(address_.host, address_.port, kWriteTimeoutMs, never_, error);
        return fd_ < 0 ? error : std::string();
    }
    std::string write(const std::uint8_t* bytes, std::size_t count) override {
        if (fd_ < 0)
            if (std::string error = connect(); !error.empty())
                return error;
        if (sendAll(fd_, bytes, count, kWriteTimeoutMs, never_))
            return {};
        ::close(fd_);
        fd_ = -1;
        return "Write to " + text_ + " failed";
    }
    std::string describe() const override { return text_; }

private:
    TCasterAddress address_;
    std::string text_;
    TWakeup never_;
    int fd_ = -1;
};

class TSerialInput : public TCorrInput {
public:
    explicit TSerialInput(const std::string& device) : port_(device) {}
    std::string openError() const { return port_.error(); }
    int fd() const override { return port_.fd(); }
    long read(std::uint8_t* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(port_.fd(), buffer, size);
            if (n > 0)
                return n;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return 0;
            return -1; // EOF or EIO: the device hung up
        }
    }

private:
    TSerialPort port_;
};

} // namespace

bool isTcpDestination(const std::string& to) {
    const std::size_t colon = to.rfind(':');
    return !to.empty() && to[0] != '/' && colon != std::string::npos && colon + 1 < to.size() &&
           to.find_first_not_of("0123456789", colon + 1) == std::string::npos;
}

std::unique_ptr<TCorrOutput> openCorrOutput(const std::string& to, std::string& error) {
    if (isTcpDestination(to)) {
        auto address = parseCasterAddress(to);
        if (!address) {
            error = "Bad address " + to;
            return nullptr;
        }
        auto out = std::make_unique<TTcpOutput>(*address, to);
        error = out->connect();
        return error.empty() ? std::move(out) : nullptr;
    }
    auto out = std::make_unique<TSerialOutput>(to);
    error = out->openError();
    return error.empty() ? std::move(out) : nullptr;
}

std::unique_ptr<TCorrInput> openCorrInput(const std::string& device, std::string& error) {
    auto in = std::make_unique<TSerialInput>(device);
    error = in->openError();
    return error.empty() ? std::move(in) : nullptr;
}

} // namespace telvor
