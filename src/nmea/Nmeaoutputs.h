#pragma once
// NMEA output as one piece for every command and the window: it taps the receiver's messages,
// builds the sentences once per epoch and writes them to the pseudo-terminal and the TCP
// server. While the receiver is silent it tells the listeners that there is no fix.
#include "nmea/Nmeaepoch.h"
#include "nmea/Ptyoutput.h"
#include "nmea/Tcpoutput.h"
#include "protocol/Commstate.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace telvor {

struct TNmeaOutputConfig {
    std::string ptyPath; // empty: no pseudo-terminal
    bool tcp = false;
    std::string tcpAddress = "127.0.0.1";
    int tcpPort = TTcpOutput::kDefaultPort;

    bool any() const { return !ptyPath.empty() || tcp; }
};

// "[ADDR:]PORT" of --nmea-tcp ("[::1]:PORT" for IPv6). Empty on success, else the usage text.
std::string parseNmeaTcp(const std::string& text, TNmeaOutputConfig& config);
// --nmea-pty PATH and --nmea-tcp [ADDR:]PORT out of a command's options (absent: unchanged).
// Empty on success, else the usage text.
std::string parseNmeaOptions(const std::map<std::string, std::string>& options,
                             TNmeaOutputConfig& config);

class TNmeaOutputs : public TMessageTap {
public:
    // Silence after which listeners hear "no fix", and how often then.
    static constexpr std::uint32_t kSilenceMs = 2000;

    TNmeaOutputs() = default;
    TNmeaOutputs(const TNmeaOutputs&) = delete;
    TNmeaOutputs& operator=(const TNmeaOutputs&) = delete;
    ~TNmeaOutputs() override;

    // Opens the configured outputs and starts the worker. Empty on success, else the error
    // text (nothing is left open then).
    std::string start(const TNmeaOutputConfig& config);
    void stop();
    bool running() const { return worker_.joinable(); }

    // Installs the tap into the input path / takes it out again.
    void attach(TCommState& state);
    void detach(TCommState& state);

    // Input thread: one split message.
    void OnMessage(const std::uint8_t* message, std::size_t length) override;
    // The sentences of an epoch to every output (also for feeding without a link).
    void send(const std::string& sentences);

    const TNmeaOutputConfig& config() const { return config_; }
    int clientCount() const { return tcp_.clientCount(); }
    int tcpPort() const { return tcp_.port(); }
    std::uint64_t epochs() const { return epochs_.load(); }
    // "NMEA: PATH, ADDR:PORT (n clients)"; empty while stopped.
    std::string statusText() const;

private:
    void run();

    TNmeaOutputConfig config_;
    TNmeaCollector collector_;
    TPtyOutput pty_;
    TTcpOutput tcp_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    std::atomic<std::uint64_t> epochs_{0};
    std::atomic<std::uint32_t> lastEpoch_{0};
    std::mutex writeLock_; // the input thread and the silence heartbeat
};

} // namespace telvor
