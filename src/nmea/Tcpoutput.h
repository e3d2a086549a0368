#pragma once
// The NMEA TCP server: any number of clients get the same sentences; a client that cannot take
// them at once is dropped, so that no client ever holds up the receiver's input.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace telvor {

class TTcpOutput {
public:
    static constexpr int kDefaultPort = 10110;

    TTcpOutput() = default;
    TTcpOutput(const TTcpOutput&) = delete;
    TTcpOutput& operator=(const TTcpOutput&) = delete;
    ~TTcpOutput() { close(); }

    // Listens on `address` (numeric IPv4 or IPv6) and `port` (0: any free one). Empty on
    // success, else the error text.
    std::string listen(const std::string& address, int port);
    void close();
    bool isOpen() const { return listen_ >= 0; }
    int port() const { return port_; }
    const std::string& address() const { return address_; }

    // Any thread; never blocks.
    void write(std::string_view bytes);
    // The worker: takes new clients, discards what they send, forgets those that left.
    // `fds` gets the sockets to wait on next.
    void service();
    void pollFds(std::vector<int>& fds) const;
    int clientCount() const;
    // Clients dropped because they were too slow.
    int dropped() const;

private:
    int listen_ = -1;
    int port_ = 0;
    std::string address_;
    mutable std::mutex lock_;
    std::vector<int> clients_;
    int dropped_ = 0;
};

} // namespace telvor
