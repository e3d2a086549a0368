#pragma once
// A receiver with its own Ethernet port: bytes pass unchanged over a TCP stream.
#include "protocol/Link.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace telvor {

class CTCPAsyncConnection : public TReceiverConnection {
public:
    // Whole blocks at a time: in Internet Server mode every read is one hand-off to the
    // user-interface thread, and 100-byte reads made six of them for each 512-byte block.
    static constexpr int kReceiveSize = 8192;
    static constexpr std::size_t kMaxHost = 255;

    enum : int { kIdle = 0, kConnecting = 1, kConnected = 2 };

    // Usable but unconnected: StartConnect makes the connection.
    CTCPAsyncConnection(std::string description, std::string host, std::string portText);
    ~CTCPAsyncConnection() override;

    int Read(std::uint8_t* buffer, int count) override;
    int Write(const std::uint8_t* bytes, int count) override;
    void WaitEvent(std::uint32_t& word) override;
    // Runs one connection attempt on a worker thread; `done` is set when it ends. False while
    // an attempt runs.
    bool StartConnect(TEvent* done) override;
    void Cancel() override;
    bool Purge() override { return true; }

    bool IsConnected() const override;

    std::string Description() const;
    std::string PeerDescription() const;
    std::uint16_t PeerPort() const { return peerPort_.load(); }
    int LinkState() const { return linkState_.load(); }
    std::uint16_t Port() const { return port_; }

    // Four dotted decimal numbers below 256, 7 to 16 characters: used without a name lookup.
    static bool IsDottedAddress(std::string_view host);

private:
    bool Connect();
    void CloseSocket();
    bool Cancelled() const { return cancelled_.load(); }

    mutable std::mutex sockLock_;
    int socket_ = -1;
    std::atomic<int> connectingSocket_{-1};
    std::atomic<std::uint16_t> peerPort_{0};
    std::atomic<int> linkState_{kIdle};
    std::uint16_t port_ = 0;
    std::string host_;
    TEvent* done_ = nullptr;
    TEvent idleEvent_{true, true};
    std::thread worker_;
    std::string description_;
    std::string peerDescription_;
    std::atomic<bool> cancelled_{false};
    int cancelFd_ = -1;
};

} // namespace telvor
