#pragma once
// Peers for the link tests: a pseudo-terminal whose master side plays the receiver, a TCP
// listener, receiver messages with their checksums, and a fixture with a plain UI bridge.
#include "links/Portio.h"
#include "protocol/Bridge.h"
#include "support/Messagemaker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace telvor::testing {

class TPty {
public:
    TPty();
    ~TPty();
    const std::string& slave() const { return slave_; }
    int master() const { return master_; }
    void write(std::string_view bytes);
    // Reads until `done` holds for what was read, or `timeoutMs` passes.
    std::string readUntil(const std::function<bool(const std::string&)>& done, int timeoutMs);
    void closeMaster();

private:
    int master_ = -1;
    std::string slave_;
};

// Answers command lines written to a pty (or a socket): `handler` gets each line without its
// checksum suffix and CR LF and returns the bytes to send back.
class TResponder {
public:
    using THandler = std::function<std::string(const std::string& line)>;
    TResponder(int fd, THandler handler);
    ~TResponder();
    int lines() const { return lines_.load(); }
    std::string lastLine() const;

private:
    void run();
    int fd_;
    THandler handler_;
    std::atomic<bool> stop_{false};
    std::atomic<int> lines_{0};
    mutable std::mutex lock_;
    std::string last_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

// A listening TCP socket on 127.0.0.1 with a port chosen by the system.
class TListener {
public:
    TListener();
    ~TListener();
    std::uint16_t port() const { return port_; }
    // Accepts one connection (up to `timeoutMs`); -1 when none came.
    int accept(int timeoutMs);

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// Installs a plain bridge owned by the test thread and leaves the shared state as it found it.
class TLinkFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Processes bridge events until `done` or the guard passes.
    bool until(const std::function<bool()>& done, int timeoutMs = 5000);

    TPlainBridge bridge_;
};

// A link opened on a pty whose master side plays the receiver through a responder.
class TPtyLinkFixture : public TLinkFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    void answer(TResponder::THandler handler);

    TPty pty_;
    std::unique_ptr<TResponder> responder_;
};

// CPU time used by the whole process so far, in milliseconds.
double processCpuMs();

} // namespace telvor::testing
