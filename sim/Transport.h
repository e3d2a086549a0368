#pragma once
// The byte channels a simulated receiver can sit behind: a pseudo-terminal (a serial port), a
// TCP listener (the Ethernet port) and a socket pair (in-process tests). One peer at a time.
#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telvorsim {

class TTransportSink {
public:
    virtual ~TTransportSink() = default;
    virtual void onPeerConnected() = 0;
    virtual void onPeerInput(const std::uint8_t* data, std::size_t count) = 0;
    virtual void onPeerGone() = 0;
    // A client that must be turned away (TCP while another is connected): text to send first.
    virtual std::string refusalText() = 0;
};

class TTransport {
public:
    virtual ~TTransport() = default;

    // Adds the descriptors to watch; `wantWrite` when output waits.
    virtual void addPollFds(std::vector<pollfd>& fds, bool wantWrite) = 0;
    // Handles what poll reported for the descriptors added from `first` on.
    virtual void onPoll(const pollfd* first, TTransportSink& sink) = 0;
    // Housekeeping between polls (a pty notices a client opening it); returns the longest
    // wait in ms before it wants to be asked again, or -1.
    virtual int refresh(TTransportSink& sink) {
        (void)sink;
        return -1;
    }

    virtual bool peerPresent() const = 0;
    // Bytes written; 0 when the peer cannot take more now; -1 when the peer went away.
    virtual long write(const std::uint8_t* data, std::size_t count) = 0;
    // The rate the peer set on its end of a serial line, 0 for other transports.
    virtual unsigned peerRate() const { return 0; }
    // Whether output leaves at the emulated baud rate.
    virtual bool paced() const { return false; }
    // Hangs up on the current peer (a restarting Ethernet receiver).
    virtual void dropPeer() {}
    // Whether new peers are taken (a restarting Ethernet receiver takes none).
    virtual void setAccepting(bool accepting) { (void)accepting; }
    virtual bool needsLogin() const { return false; }
};

// A pty whose slave is linked to `linkPath` (if not empty). `error` says why it failed.
class TPtyTransport : public TTransport {
public:
    ~TPtyTransport() override;
    bool open(const std::string& linkPath, unsigned rate, std::string& error);
    const std::string& slavePath() const { return slave_; }

    void addPollFds(std::vector<pollfd>& fds, bool wantWrite) override;
    void onPoll(const pollfd* first, TTransportSink& sink) override;
    int refresh(TTransportSink& sink) override;
    bool peerPresent() const override { return present_; }
    long write(const std::uint8_t* data, std::size_t count) override;
    unsigned peerRate() const override;
    bool paced() const override { return true; }

private:
    void flushSlaveInput();
    int master_ = -1;
    std::string slave_, link_;
    bool present_ = false;
};

class TTcpTransport : public TTransport {
public:
    ~TTcpTransport() override;
    // Port 0 picks a free one; `port()` tells which.
    bool open(const std::string& address, int port, std::string& error);
    int port() const { return port_; }

    void addPollFds(std::vector<pollfd>& fds, bool wantWrite) override;
    void onPoll(const pollfd* first, TTransportSink& sink) override;
    int refresh(TTransportSink& sink) override;
    bool peerPresent() const override { return client_ >= 0; }
    long write(const std::uint8_t* data, std::size_t count) override;
    void dropPeer() override;
    void setAccepting(bool accepting) override { accepting_ = accepting; }
    bool needsLogin() const override { return true; }

private:
    struct TRefused {
        int fd;
        long long closeAtMs;
    };
    int listen_ = -1, client_ = -1, port_ = 0;
    bool accepting_ = true;
    // Turned-away clients stay connected a moment, so they can read why before the hang-up.
    std::vector<TRefused> refused_;
    std::size_t polledRefused_ = 0;
};

class TPairTransport : public TTransport {
public:
    ~TPairTransport() override;
    // Returns the client's end (the caller owns it), or -1.
    int open(std::string& error);

    void addPollFds(std::vector<pollfd>& fds, bool wantWrite) override;
    void onPoll(const pollfd* first, TTransportSink& sink) override;
    bool peerPresent() const override { return fd_ >= 0; }
    long write(const std::uint8_t* data, std::size_t count) override;

private:
    int fd_ = -1;
};

// termios2 access, kept apart because its header clashes with <termios.h>.
unsigned ptyReadRate(int fd);
bool ptySetRate(int fd, unsigned rate);

} // namespace telvorsim
