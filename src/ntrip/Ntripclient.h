#pragma once
// The rover's NTRIP client: one thread that logs in to a caster, hands every byte of the
// stream to its output, sends the rover's GGA when asked, and reconnects with back-off after a
// drop. A refusal (wrong password, unknown mountpoint) ends it: trying again cannot help.
#include "ntrip/Netsocket.h"
#include "ntrip/Ntriprequest.h"
#include "ntrip/Sourcetable.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace telvor {

struct TNtripClientConfig {
    TNtripLogin login;
    int ggaSeconds = 0; // 0: no GGA
    // The sentence to send now (with its CR LF), empty while there is no position. Called on
    // the client's thread.
    std::function<std::string()> gga;
    int connectTimeoutMs = 5000;
    int idleTimeoutMs = 20000; // no data for so long: the connection is dead
    int minBackoffMs = 500, maxBackoffMs = 30000;
};

enum class TNtripState { Idle, Connecting, Streaming, Waiting, Refused, Stopped };

struct TNtripStatus {
    TNtripState state = TNtripState::Idle;
    std::uint64_t bytes = 0;  // delivered to the output
    double rate = 0;          // bytes/s over the last seconds
    std::int64_t ageMs = -1;  // since the last data; -1: none yet
    int connections = 0;      // logins that got a stream
    std::string lastError;    // "401 Unauthorized", "mountpoint not found", ...
    TSourcetable sourcetable; // when the caster answered with one
};

std::string stateText(TNtripState state);

class TNtripClient {
public:
    // `deliver` gets the stream's bytes on the client's thread; a non-empty result is an
    // output error, shown in the status (the stream goes on).
    using TDeliver = std::function<std::string(const std::uint8_t*, std::size_t)>;
    TNtripClient(TNtripClientConfig config, TDeliver deliver);
    ~TNtripClient(); // stops
    TNtripClient(const TNtripClient&) = delete;
    TNtripClient& operator=(const TNtripClient&) = delete;

    void start();
    void stop();
    TNtripStatus status() const;

private:
    void run();
    // One connection; returns whether a stream ran (the back-off starts over then).
    bool session();
    bool readStream(int fd, std::string pending, bool chunked);
    void received(const std::uint8_t* bytes, std::size_t count);
    void setState(TNtripState state, const std::string& error = "\x01");
    bool sleepMs(int ms);

    TNtripClientConfig config_;
    TDeliver deliver_;
    TWakeup stop_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex lock_;
    TNtripStatus status_;
    std::int64_t lastDataMs_ = -1;
    std::int64_t rateStartMs_ = 0;
    std::uint64_t rateBytes_ = 0;
};

// Asks the caster for its sourcetable (GET /). `error` says why nothing came.
TSourcetable fetchSourcetable(const TNtripLogin& login, int timeoutMs, std::string& error);

} // namespace telvor
