#pragma once
// Test side of a link to telvor-sim: writes command lines, reads the stream through the real
// message splitter.
#include "protocol/Messageformat.h"
#include "protocol/Splitter.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

struct TCollector : telvor::TSplitterSink {
    std::vector<std::string> messages;
    std::size_t garbage = 0;
    void onMessage(const std::uint8_t* m, std::size_t n) override {
        messages.emplace_back(reinterpret_cast<const char*>(m), n);
    }
    void onSkipped(const std::uint8_t*, std::size_t n, bool g) override {
        if (g)
            garbage += n;
    }
    std::size_t count(const std::string& id, std::size_t from = 0) const {
        std::size_t c = 0;
        for (std::size_t i = from; i < messages.size(); ++i)
            c += messages[i].compare(0, 2, id) == 0;
        return c;
    }
};

// Feeds a whole byte string through a splitter.
inline TCollector split(const std::string& bytes) {
    TCollector c;
    telvor::TMessageSplitter s(c);
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t n = std::min(bytes.size() - at, s.space());
        s.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, n);
        at += n;
    }
    return c;
}

class TClient {
public:
    explicit TClient(int fd) : fd_(fd), splitter_(got) {}
    ~TClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

    bool write(const std::string& bytes) {
        std::size_t at = 0;
        while (at < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool command(const std::string& line) { return write(telvor::formatCommandLine(line)); }

    // Reads until `done` holds or the time is up; false when the peer closed or time ran out.
    bool waitFor(const std::function<bool()>& done, int timeoutMs) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 50))) <= 0)
                continue;
            std::uint8_t buffer[4096];
            ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, splitter_.space()));
            if (n <= 0) {
                closed = true;
                return done();
            }
            raw.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
            splitter_.feed(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    // Reads for a while whatever comes.
    void drain(int ms) {
        waitFor([] { return false; }, ms);
    }

    // Sends a line and returns the next "RE" / "ER" message after it.
    std::optional<std::string> ask(const std::string& line, int timeoutMs = 3000) {
        std::size_t from = got.messages.size();
        if (!command(line))
            return std::nullopt;
        return nextReply(from, timeoutMs);
    }
    std::optional<std::string> nextReply(std::size_t from, int timeoutMs) {
        std::optional<std::string> found;
        waitFor(
            [&] {
                for (std::size_t i = from; i < got.messages.size(); ++i)
                    if (got.messages[i].compare(0, 2, "RE") == 0 ||
                        got.messages[i].compare(0, 2, "ER") == 0) {
                        found = got.messages[i];
                        return true;
                    }
                return false;
            },
            timeoutMs);
        return found;
    }

    // Forgets what was read (after the line settings changed).
    void reset() {
        raw.clear();
        got = TCollector{};
        splitter_.reset();
    }

    std::string raw;
    TCollector got;
    bool closed = false;

private:
    int fd_;
    telvor::TMessageSplitter splitter_;
};

} // namespace simtest
