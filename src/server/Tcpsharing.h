#pragma once
// Both ends of the sharing protocol, as the TCP/IP status window runs them: the server that
// serves this copy's receiver to one remote client, and the client end behind the "Internet
// Client" link. Sockets, timers and every handler run on the user-interface thread; the input
// thread reaches the server only through OnReceiverData (synchronously, via the bridge).
#include "links/Tcpclientconnection.h"
#include "protocol/Commstate.h"
#include "server/Forwarder.h"
#include "server/Packetreader.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace telvor {

class TProfile;

struct TSharingConfig {
    int port = 8000;
    std::string host = "localhost"; // the client's server
    std::string password;           // in clear; empty: the default key
    std::string bindAddress;        // the server listens here only; empty: every address
    bool dnsLookup = true;
    bool logServer = true;
    std::string logPath = "telvor_server.log";
    std::string greeting; // after "ME": program name, version and build
};
// Section "Comm" of the settings; the log lands beside telvor.ini.
TSharingConfig readSharingConfig(const TProfile& profile);

enum class TSharingLight { Off, Red, Green, Blue };

class TTCPSharing : public QObject, public TSharingSink, public TRemoteWriter {
public:
    enum class TRole { Stopped, Server, Client };
    static constexpr int kMaxPeers = 100;
    static constexpr int kListLines = 300;
    static constexpr int kChatLength = 256;
    static constexpr std::size_t kClientInputSize = 8192;

    // Timer periods; tests shorten them.
    struct TTimings {
        int keepAliveMs = 1000;
        int flushMs = 500;
        int idleRestartMs = 30000;
        int lostPingMs = 1000;
        // Server: a pair whose client has not proved the password by then is closed.
        int proofMs = 4000;
        // Server: a client that answered no ping and sent nothing for this long is dropped.
        int silenceMs = 4000;
    };
    // Server: bad packets after which a peer is closed.
    static constexpr std::uint64_t kMaxBadPackets = 5;
    // Server: keep-alive pings a client may miss (beyond its measured delay).
    static constexpr int kMaxMissedPings = 3;
    // Unsent bytes queued for one peer; beyond it receiver data is dropped, as a serial port
    // drops what nobody reads.
    static constexpr std::int64_t kMaxUnsent = 256 * 1024;

    // What the window shows; every hook is optional.
    struct THooks {
        std::function<void(const std::string& line)> status; // a new status-list line
        std::function<void(const std::string& line)> chat;   // a new chat line (at the top)
        std::function<void()> counters;                      // Sent, Recv, Errors or Delay
        std::function<void(TSharingLight)> light;
        std::function<void()> beep;
        std::function<void(bool linkUp)> linkChanged; // Send enabled, "at" text
        // Server: a client came or the last one went (refresh, re-apply "Display data").
        std::function<void()> clientsChanged;
        // Client: the server went away; the session disconnects.
        std::function<void()> serverLost;
        // Client: the server refused us as busy ("BU"); `line` is the status line.
        std::function<void(const std::string& line)> busy;
        // Server restart: monitoring stops before the restart ("####\n%%dm").
        std::function<void()> beforeRestart;
    };

    explicit TTCPSharing(QObject* parent = nullptr);
    ~TTCPSharing() override;

    void configure(const TSharingConfig& config) { config_ = config; }
    const TSharingConfig& config() const { return config_; }
    void setTimings(const TTimings& t);
    void setHooks(THooks hooks) { hooks_ = std::move(hooks); }
    const THooks& hooks() const { return hooks_; }
    // Installs itself as the input thread's sharing sink and the client link's writer.
    void install();
    void uninstall();

    // Server: false when it could not listen (the reason is in the status list).
    bool StartSharing(TRole role);
    void ActivateClient();
    // One attempt of the client search: starts the pair of connections afresh unless one is
    // still on its way, so that a server that refused or dropped the last attempt is tried
    // again.
    void AttemptClient();
    void StopSharing();
    bool listening() const;
    std::uint16_t serverPort() const;

    // One message to `peer` (or the current one); false when not sent.
    bool SendPeerMessage(const std::uint8_t* bytes, std::size_t count, QTcpSocket* peer = nullptr);
    bool SendPeerMessage(std::string_view message, QTcpSocket* peer = nullptr);
    void LogStatus(const std::string& text);
    // Chat: false without a peer logged in.
    bool sendChat(const std::string& text);

    bool linkUp() const { return linkUp_.load(); }
    bool latencyKnown() const { return latencyKnown_; }
    // Client: the working connection brought only packets that do not decode, as with a
    // server that uses another password.
    bool keyRejected() const {
        return role_ == TRole::Client && linkUp_.load() && goodPackets_ == 0 && errors_ > 0;
    }
    std::string atText() const { return atText_; }
    int peerCount() const { return int(peers_.size()); }
    // Server: the served pair's client has sent a packet only the right key produces.
    bool proved() const { return proved_; }
    // Bytes queued for the current peer and not yet handed to the network.
    std::int64_t unsentBytes() const;
    std::uint64_t droppedBytes() const { return droppedBytes_; }
    // Client: why the last attempt failed ("The sharing server ... refused the connection");
    // empty after a success.
    std::string clientFailure() const { return clientFailure_; }

    // Counters the window shows; the double clicks reset them.
    std::uint64_t sent() const { return sent_; }
    std::uint64_t received() const { return received_; }
    std::uint64_t errors() const { return errors_; }
    std::string delayText() const { return delayText_; }
    void resetSent();
    void resetReceived();
    void resetErrors();
    void resetDelay();
    const std::deque<std::string>& statusLines() const { return statusLines_; }
    const std::deque<std::string>& chatLines() const { return chatLines_; }
    void clearStatus() { statusLines_.clear(); }
    void clearChat() { chatLines_.clear(); }
    int packetSize() const { return forwarder_.packetSize(); }
    bool flushTimerActive() const;

    // TSharingSink
    bool ClientConnected() const override { return role_ == TRole::Server && linkUp_.load(); }
    void OnReceiverData(const std::uint8_t* data, std::size_t count) override;
    void OnLinkClosing() override { StopSharing(); }
    // TRemoteWriter
    bool WriteWC(const std::uint8_t* data, std::size_t count) override;
    void Stop() override { StopSharing(); }

private:
    struct TPeer {
        QTcpSocket* socket = nullptr;
        TPacketReader reader;
        bool wrongKeyLogged = false;
        explicit TPeer(QTcpSocket* s, TPacketReader::Handler h) : socket(s), reader(std::move(h)) {}
    };
    // One message's handler: the peer it came from, the whole message (code first).
    using THandler = void (TTCPSharing::*)(TPeer& peer, const std::uint8_t* m, std::size_t n);
    struct TCodeEntry;
    static THandler handlerFor(TRole role, const std::uint8_t* m);

    void onNewConnection();
    void addPeer(QTcpSocket* socket);
    void refuseBusy(QTcpSocket* socket);
    // Server: the peer's bad packets; false when it was closed for them.
    bool checkPackets(TPeer& peer);
    // Server: the pair that never proved the password, or a client that stopped answering.
    bool guardPair();
    void closePeers(const std::string& why);
    void retryClient();
    void onConnected(QTcpSocket* socket);
    void onReadyRead(TPeer* peer);
    void onDisconnected(QTcpSocket* socket);
    void onSocketError(QTcpSocket* socket, int error);
    void handleMessage(TPeer& peer, const std::uint8_t* message, std::size_t count);
    void onReceiverOutput(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onCommandMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onSpeedMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onHandshakeMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onPeerPing(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onOwnPing(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onChatMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onNoticeMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onErrorMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onBusyMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onClosingMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void onUnknownMessage(TPeer& peer, const std::uint8_t* m, std::size_t n);
    void handleCommand(const std::uint8_t* body, std::size_t count);
    void dispatchClientInput();
    void onKeepAlive();
    void restartServer(bool tableEmpty);
    void closeAll();
    void setLinkUp(bool on);
    void setLight(TSharingLight light);
    void startFlushTimer();
    void stopFlushTimer();
    void openClientSocket();
    TPeer* findPeer(QTcpSocket* socket);
    std::string description(QTcpSocket* socket) const;
    // With DNSLookup: the peer's host name is looked up in the background; descriptions show
    // it once known.
    void lookUpHostName(QTcpSocket* socket);
    std::string key() const;
    bool sendFrame(QTcpSocket* socket, const std::uint8_t* bytes, std::size_t count);
    void notifyCounters();

    TSharingConfig config_;
    TTimings timings_;
    THooks hooks_;
    TRole role_ = TRole::Stopped;
    QTcpServer* server_ = nullptr;
    QTimer* keepAlive_ = nullptr;
    QTimer* flushTimer_ = nullptr;
    std::vector<std::unique_ptr<TPeer>> peers_;
    QPointer<QTcpSocket> current_;
    std::atomic<bool> linkUp_{false};
    bool activated_ = false;
    bool latencyKnown_ = false;
    TForwarder forwarder_;
    std::vector<std::uint8_t> clientInput_;
    std::string atText_;
    int connectCount_ = 0;
    std::uint32_t lastReceiveTick_ = 0;
    int missedPings_ = 0;
    std::uint32_t maxDelay_ = 0;
    std::uint32_t averageDelay_ = 0;
    bool blue_ = false;
    bool proved_ = false;
    std::uint32_t pairStart_ = 0;
    bool dropping_ = false;
    std::uint64_t droppedBytes_ = 0;
    std::string clientFailure_;
    std::map<std::string, std::string> hostNames_; // address -> host name
    std::uint64_t sent_ = 0, received_ = 0, errors_ = 0;
    std::uint64_t goodPackets_ = 0;
    std::string delayText_;
    std::deque<std::string> statusLines_;
    std::deque<std::string> chatLines_;
    std::FILE* log_ = nullptr;
};

} // namespace telvor
