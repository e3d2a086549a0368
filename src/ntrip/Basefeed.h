#pragma once
// A base's correction feed: the receiver's correction output, read from a serial port, pushed
// to a caster as an NTRIP 1.0 source, an NTRIP 2.0 POST or raw TCP into a caster's input.
// Bytes that come while no caster takes them are dropped: late corrections are useless.
#include "ntrip/Corroutput.h"
#include "ntrip/Netsocket.h"
#include "ntrip/Ntriprequest.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace telvor {

enum class TFeedMode { Raw, Source1, Post2 };

struct TBaseFeedConfig {
    TNtripLogin login; // version is taken from `mode`
    TFeedMode mode = TFeedMode::Source1;
    int connectTimeoutMs = 5000;
    int minBackoffMs = 500, maxBackoffMs = 30000;
};

struct TBaseFeedStatus {
    bool connected = false;
    std::uint64_t bytesSent = 0, bytesDropped = 0;
    int connections = 0;
    std::string lastError;
    bool inputGone = false; // the serial port hung up: the feed has ended
};

class TBaseFeed {
public:
    TBaseFeed(TBaseFeedConfig config, std::unique_ptr<TCorrInput> input);
    ~TBaseFeed();
    TBaseFeed(const TBaseFeed&) = delete;
    TBaseFeed& operator=(const TBaseFeed&) = delete;
    void start();
    void stop();
    TBaseFeedStatus status() const;

private:
    void run();
    int login(std::string& error); // a socket ready for data, or -1
    bool push(int fd, const std::uint8_t* bytes, std::size_t count);
    void dropCaster(int& fd, const char* why, int backoff, std::int64_t& retryAt);
    bool forwardInput(int& fd, int backoff, std::int64_t& retryAt);
    void note(const std::string& error, bool connected);

    TBaseFeedConfig config_;
    std::unique_ptr<TCorrInput> input_;
    TWakeup stop_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex lock_;
    TBaseFeedStatus status_;
};

} // namespace telvor
