#include "server/Tcpsharing.h"

#include "protocol/Commthread.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"
#include "server/Sharingpacket.h"
#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace telvor {

namespace {

// Qt keeps at most this much unread per socket, so a flooding peer meets TCP flow control
// instead of filling our memory.
constexpr qint64 kSocketReadBuffer = 65536;
constexpr const char* kUnknownAddress = "??.??.??.??";
// The sharing server listens on this address only; empty: on every address.
constexpr TStrKey kBindAddress{"Comm", "BindAddress", ""};

// Why a client's attempt failed, for the end of its search.
std::string searchFailure(QAbstractSocket::SocketError e, const std::string& text,
                          const TSharingConfig& c) {
    const std::string where = "The sharing server " + c.host + ":" + std::to_string(c.port);
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return where + " refused the connection";
    case QAbstractSocket::RemoteHostClosedError:
        return where + " closed the connection";
    case QAbstractSocket::HostNotFoundError:
        return where + " was not found";
    case QAbstractSocket::SocketTimeoutError:
        return where + " did not answer";
    default:
        return where + " is unreachable: " + text;
    }
}

std::string errorKind(QAbstractSocket::SocketError e) {
    switch (e) {
    case QAbstractSocket::RemoteHostClosedError:
        return "Disconnect: ";
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::NetworkError:
        return "Connect: ";
    case QAbstractSocket::UnknownSocketError:
        return "Unknown: ";
    default:
        return "General: ";
    }
}

} // namespace

TSharingConfig readSharingConfig(const TProfile& profile) {
    TSharingConfig c;
    c.port = profile.read(keys::CommTCPPort);
    c.host = profile.read(keys::CommHost);
    c.password = decodeStoredPassword(profile.read(keys::CommPassword)).value_or("");
    c.bindAddress = profile.read(kBindAddress);
    c.dnsLookup = profile.read(keys::CommDNSLookupServer);
    c.logServer = profile.read(keys::CommLogServer);
    c.logPath =
        (std::filesystem::path(profile.fileName()).parent_path() / "telvor_server.log").string();
    return c;
}

TTCPSharing::TTCPSharing(QObject* parent)
    : QObject(parent),
      forwarder_([this](const std::uint8_t* m, std::size_t n) { SendPeerMessage(m, n); }) {
    keepAlive_ = new QTimer(this);
    connect(keepAlive_, &QTimer::timeout, this, [this] { onKeepAlive(); });
    flushTimer_ = new QTimer(this);
    connect(flushTimer_, &QTimer::timeout, this, [this] { forwarder_.flush(); });
    clientInput_.reserve(kClientInputSize);
}

TTCPSharing::~TTCPSharing() {
    uninstall();
    StopSharing();
}

void TTCPSharing::install() {
    commState().SetSharingSink(this);
    SetRemoteWriter(this);
}

void TTCPSharing::uninstall() {
    if (commState().Sharing() == this)
        commState().SetSharingSink(nullptr);
    if (RemoteWriter() == this)
        SetRemoteWriter(nullptr);
}

void TTCPSharing::setTimings(const TTimings& t) {
    timings_ = t;
    if (keepAlive_->isActive())
        keepAlive_->start(timings_.keepAliveMs);
}

std::string TTCPSharing::key() const {
    return config_.password.empty() ? kDefaultSharingKey : config_.password;
}

// ---------------------------------------------------------------------------------------------

bool TTCPSharing::StartSharing(TRole role) {
    StopSharing();
    forwarder_.reset();
    peers_.clear();
    current_ = nullptr;
    setLinkUp(false);
    clientInput_.clear();
    missedPings_ = 0;
    averageDelay_ = 0;
    maxDelay_ = 0;
    latencyKnown_ = false;
    activated_ = false;
    goodPackets_ = 0;
    proved_ = false;
    dropping_ = false;
    droppedBytes_ = 0;
    role_ = role;
    lastReceiveTick_ = tickCount();
    connectCount_ = 0;
    keepAlive_->start(timings_.keepAliveMs);

    if (role == TRole::Client) {
        openClientSocket();
        return true;
    }
    server_ = new QTcpServer(this);
    connect(server_, &QTcpServer::newConnection, this, [this] { onNewConnection(); });
    if (config_.logServer && !log_)
        log_ = std::fopen(config_.logPath.c_str(), "a");
    QHostAddress address = QHostAddress::Any;
    if (!config_.bindAddress.empty() &&
        !address.setAddress(QString::fromStdString(config_.bindAddress))) {
        LogStatus("Accept: invalid listening address " + config_.bindAddress);
        StopSharing();
        return false;
    }
    if (!server_->listen(address, quint16(config_.port))) {
        LogStatus("Accept: " + server_->errorString().toStdString());
        StopSharing();
        return false;
    }
    LogStatus("Server started");
    if (config_.password.empty())
        LogStatus("No password: any client that reaches this port controls the receiver");
    startFlushTimer();
    return true;
}

void TTCPSharing::ActivateClient() {
    if (role_ != TRole::Client || activated_)
        return;
    activated_ = true;
    // The working connection follows once the first is up, so both ends agree which is which.
    if (peers_.size() == 1 && peers_.front()->socket->state() == QAbstractSocket::ConnectedState)
        openClientSocket();
}

void TTCPSharing::AttemptClient() {
    const bool underWay = std::any_of(peers_.begin(), peers_.end(), [](const auto& p) {
        const auto state = p->socket->state();
        return state == QAbstractSocket::HostLookupState ||
               state == QAbstractSocket::ConnectingState;
    });
    if (role_ != TRole::Client || (!linkUp_.load() && !underWay))
        StartSharing(TRole::Client);
    ActivateClient();
}

void TTCPSharing::openClientSocket() {
    auto* socket = new QTcpSocket(this);
    socket->setReadBufferSize(kSocketReadBuffer);
    connect(socket, &QTcpSocket::connected, this, [this, socket] { onConnected(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError e) { onSocketError(socket, int(e)); });
    addPeer(socket);
    socket->connectToHost(QString::fromStdString(config_.host), quint16(config_.port));
}

void TTCPSharing::StopSharing() {
    if (role_ == TRole::Stopped)
        return;
    stopFlushTimer();
    keepAlive_->stop();
    if (linkUp_.load() && current_) {
        SendPeerMessage("FI");
        // Sending finds out that a peer went away, and so may have ended it already.
        if (current_)
            current_->waitForBytesWritten(100);
    }
    closeAll();
    setLinkUp(false);
    current_ = nullptr;
    atText_.clear();
    if (server_) {
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
        LogStatus("Server stopped");
    }
    if (log_) {
        std::fclose(log_);
        log_ = nullptr;
    }
    role_ = TRole::Stopped;
}

void TTCPSharing::closeAll() {
    // Taken out first: closing emits disconnected, which must find nothing left to remove.
    auto peers = std::move(peers_);
    peers_.clear();
    for (auto& p : peers) {
        p->socket->disconnect(this);
        p->socket->abort();
        p->socket->deleteLater();
    }
}

bool TTCPSharing::listening() const {
    return server_ && server_->isListening();
}

std::uint16_t TTCPSharing::serverPort() const {
    return server_ ? server_->serverPort() : 0;
}

bool TTCPSharing::flushTimerActive() const {
    return flushTimer_->isActive();
}

void TTCPSharing::startFlushTimer() {
    flushTimer_->start(timings_.flushMs);
}
void TTCPSharing::stopFlushTimer() {
    flushTimer_->stop();
}

// ---------------------------------------------------------------------------------------------

void TTCPSharing::onNewConnection() {
    while (QTcpSocket* socket = server_ ? server_->nextPendingConnection() : nullptr) {
        socket->setReadBufferSize(kSocketReadBuffer);
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { onDisconnected(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this,
                [this, socket](QAbstractSocket::SocketError e) { onSocketError(socket, int(e)); });
        ++connectCount_;
        lookUpHostName(socket);
        if (peers_.size() == 1 && !linkUp_.load() &&
            ticksSince(lastReceiveTick_) > std::uint32_t(timings_.idleRestartMs)) {
            LogStatus("Server resources cleanup required");
            closeAll();
            current_ = nullptr;
        }
        if (peers_.empty()) {
            lastReceiveTick_ = pairStart_ = tickCount();
            proved_ = false;
        }
        if (peers_.size() >= 2 || peers_.size() >= std::size_t(kMaxPeers)) {
            refuseBusy(socket);
            continue;
        }
        addPeer(socket);
        LogStatus("Connected to " + description(socket));
        onConnected(socket);
    }
}

void TTCPSharing::refuseBusy(QTcpSocket* socket) {
    const std::string who = description(socket);
    // A refused peer's bytes are never read.
    socket->disconnect(this);
    LogStatus("Server busy, connection refused to " + who);
    if (!proved_) {
        // Whoever holds the slot has not shown the password: a stranger learns nothing, and
        // the newcomer is let go at once so that its search tries again when the slot frees.
        socket->abort();
        socket->deleteLater();
        return;
    }
    SendPeerMessage("ME" + who + " tried to connect to the server");
    // The newcomer has proved nothing yet: the refusal names nobody.
    static const std::uint8_t kBusy[] = {'B', 'U'};
    sendFrame(socket, kBusy, sizeof kBusy);
    // The refusal gets its 100 ms to leave before the socket goes.
    QTimer::singleShot(100, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void TTCPSharing::addPeer(QTcpSocket* socket) {
    auto peer = std::make_unique<TPeer>(socket, nullptr);
    TPeer* raw = peer.get();
    raw->reader = TPacketReader(
        [this, raw](const std::uint8_t* m, std::size_t n) { handleMessage(*raw, m, n); });
    raw->reader.setKey(key());
    connect(socket, &QTcpSocket::readyRead, this, [this, raw] { onReadyRead(raw); });
    peers_.push_back(std::move(peer));
}

// Server: an accepted socket; client: one of its two connections is up.
void TTCPSharing::onConnected(QTcpSocket* socket) {
    // Each block waits for the acknowledgement before it: small packets must not be held back.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (role_ == TRole::Client) {
        ++connectCount_;
        const bool first = std::count_if(peers_.begin(), peers_.end(), [](const auto& p) {
                               return p->socket->state() == QAbstractSocket::ConnectedState;
                           }) == 1;
        if (first) {
            current_ = socket;
            if (activated_ && peers_.size() == 1)
                openClientSocket();
            return;
        }
        LogStatus("Connected to " + description(socket));
    } else if (peers_.size() == 1) {
        current_ = socket; // the placeholder
        return;
    }
    current_ = socket;
    if (role_ == TRole::Client) {
        atText_ = "at " + description(socket);
        clientFailure_.clear();
    }
    resetDelay();
    resetErrors();
    if (role_ == TRole::Server) {
        forwarder_.reset();
        startFlushTimer();
    }
    setLinkUp(true);
    if (role_ == TRole::Server) {
        if (hooks_.clientsChanged)
            hooks_.clientsChanged();
        SendPeerMessage("ME" + config_.greeting);
    } else {
        // The first delay figure need not wait for the keep-alive tick.
        onKeepAlive();
    }
}

void TTCPSharing::onDisconnected(QTcpSocket* socket) {
    auto it = std::find_if(peers_.begin(), peers_.end(),
                           [socket](const auto& p) { return p->socket == socket; });
    if (it == peers_.end())
        return;
    if (role_ == TRole::Server)
        LogStatus("Disconnected from " + description(socket));
    socket->disconnect(this);
    socket->deleteLater();
    // The reader may be the caller (a handler that closed): free it after this event.
    QTimer::singleShot(0, this, [p = std::shared_ptr<TPeer>(std::move(*it))] {});
    peers_.erase(it);
    if (socket == current_ || current_.isNull()) {
        current_ = nullptr;
        // A placeholder left behind has the proof period to find a new partner.
        proved_ = false;
        pairStart_ = tickCount();
        // A server that closes before it said a word let this attempt go (busy with a pair
        // that has not shown the password): not a loss, the search tries again.
        const bool wasUp = linkUp_.load() && goodPackets_ > 0;
        setLinkUp(false);
        clientInput_.clear();
        setLight(TSharingLight::Red);
        atText_.clear();
        if (role_ == TRole::Client && hooks_.serverLost && wasUp)
            hooks_.serverLost();
    }
    if (role_ == TRole::Client && !linkUp_.load() && !peers_.empty()) {
        // One connection of an attempt went: the whole attempt is over, and the next
        // keep-alive tick tries anew instead of pairing what is left with a fresh one.
        QTimer::singleShot(0, this, [this] {
            if (role_ == TRole::Client && !linkUp_.load())
                closeAll();
        });
    }
    if (role_ == TRole::Server && peers_.empty()) {
        stopFlushTimer();
        if (hooks_.clientsChanged)
            hooks_.clientsChanged();
    }
}

void TTCPSharing::onSocketError(QTcpSocket* socket, int error) {
    const auto e = QAbstractSocket::SocketError(error);
    const std::string kind = errorKind(e);
    std::string who = description(socket);
    if (kind == "Disconnect: " && config_.dnsLookup) {
        // The host name is left out of a Disconnect's description.
        const auto open = who.find('(');
        who = open == std::string::npos ? who : who.substr(open);
    }
    LogStatus(kind + socket->errorString().toStdString() + " " + who);
    if (role_ == TRole::Client && !linkUp_.load())
        clientFailure_ = searchFailure(e, socket->errorString().toStdString(), config_);
    if (e == QAbstractSocket::RemoteHostClosedError)
        return; // disconnected() follows
    if (role_ == TRole::Client && socket->state() != QAbstractSocket::ConnectedState)
        onDisconnected(socket);
}

TTCPSharing::TPeer* TTCPSharing::findPeer(QTcpSocket* socket) {
    for (auto& p : peers_)
        if (p->socket == socket)
            return p.get();
    return nullptr;
}

namespace {

std::string addressText(const QHostAddress& a) {
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return a.isNull() ? kUnknownAddress
           : ok       ? QHostAddress(v4).toString().toStdString()
                      : a.toString().toStdString();
}

} // namespace

std::string TTCPSharing::description(QTcpSocket* socket) const {
    if (!socket)
        return "<unknown>(" + std::string(kUnknownAddress) + "):0";
    const std::string address = addressText(socket->peerAddress());
    std::string host;
    if (config_.dnsLookup) {
        host = socket->peerName().toStdString();
        const auto known = hostNames_.find(address);
        if (host.empty() && known != hostNames_.end())
            host = known->second;
    }
    return host + "(" + address + "):" + std::to_string(socket->peerPort());
}

void TTCPSharing::lookUpHostName(QTcpSocket* socket) {
    const std::string address = addressText(socket->peerAddress());
    if (!config_.dnsLookup || address == kUnknownAddress || hostNames_.count(address))
        return;
    // A flood of addresses must not grow the table without end.
    if (hostNames_.size() >= 256)
        hostNames_.clear();
    hostNames_[address] = std::string();
    QHostInfo::lookupHost(socket->peerAddress().toString(), this,
                          [this, address](const QHostInfo& info) {
                              const std::string name = info.hostName().toStdString();
                              if (info.error() == QHostInfo::NoError && name != address)
                                  hostNames_[address] = name;
                          });
}

// ---------------------------------------------------------------------------------------------

void TTCPSharing::onReadyRead(TPeer* peer) {
    QTcpSocket* socket = peer->socket;
    if (role_ == TRole::Server && !(linkUp_.load() && socket == current_)) {
        // The idle connection of a pair carries nothing: what comes on it is dropped unread.
        socket->skip(socket->bytesAvailable());
        return;
    }
    std::uint8_t chunk[16384];
    // Bounded by the socket's read buffer; the rest of a flood waits in the network.
    qint64 budget = kSocketReadBuffer;
    while (budget > 0 && socket->bytesAvailable() > 0) {
        const qint64 n = socket->read(reinterpret_cast<char*>(chunk), sizeof chunk);
        if (n <= 0)
            break;
        budget -= n;
        received_ += std::uint64_t(n);
        const std::uint64_t before = peer->reader.errors();
        peer->reader.feed(chunk, std::size_t(n));
        errors_ += peer->reader.errors() - before;
        // The handlers may have closed this peer.
        if (!findPeer(socket) || (role_ == TRole::Server && !checkPackets(*peer)))
            return;
    }
    if (!clientInput_.empty())
        dispatchClientInput();
    notifyCounters();
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, [this, socket] {
            if (TPeer* p = findPeer(socket))
                onReadyRead(p);
        });
}

// ---------------------------------------------------------------------------------------------

bool TTCPSharing::SendPeerMessage(const std::uint8_t* bytes, std::size_t count, QTcpSocket* peer) {
    if (count == 0)
        return true;
    if (CurrentConnection)
        CurrentConnection->LastWriteTick.store(tickCount());
    QTcpSocket* socket = peer ? peer : current_.data();
    if (!linkUp_.load() || !socket)
        return false;
    return sendFrame(socket, bytes, count);
}

bool TTCPSharing::SendPeerMessage(std::string_view message, QTcpSocket* peer) {
    return SendPeerMessage(reinterpret_cast<const std::uint8_t*>(message.data()), message.size(),
                           peer);
}

bool TTCPSharing::sendFrame(QTcpSocket* socket, const std::uint8_t* bytes, std::size_t count) {
    const TBytes packet = buildPacket(bytes, count, key());
    if (packet.empty())
        return false;
    if (socket->bytesToWrite() + qint64(packet.size()) > kMaxUnsent) {
        droppedBytes_ += count;
        if (!dropping_)
            LogStatus(description(socket) + " does not read: data for it is dropped");
        dropping_ = true;
        return false;
    }
    if (dropping_ && socket->bytesToWrite() < kMaxUnsent / 2) {
        dropping_ = false;
        LogStatus(description(socket) + " reads again; " + std::to_string(droppedBytes_) +
                  " bytes were dropped");
    }
    const qint64 written =
        socket->write(reinterpret_cast<const char*>(packet.data()), qint64(packet.size()));
    // Out now rather than when the event loop comes round: each block's acknowledgement and
    // the next block wait on it.
    socket->flush();
    if (written != qint64(packet.size())) {
        LogStatus("Send: " + socket->errorString().toStdString() + " " + description(socket));
        return false;
    }
    sent_ += packet.size();
    return true;
}

bool TTCPSharing::WriteWC(const std::uint8_t* data, std::size_t count) {
    std::string message = "WC";
    message.append(reinterpret_cast<const char*>(data), count);
    // A bare "WC" still goes out: the server sees the (empty) command.
    return SendPeerMessage(message);
}

void TTCPSharing::OnReceiverData(const std::uint8_t* data, std::size_t count) {
    if (role_ == TRole::Server && linkUp_.load())
        forwarder_.forward(data, count);
}

bool TTCPSharing::sendChat(const std::string& text) {
    if (!linkUp_.load())
        return false;
    const std::string t = text.substr(0, kChatLength);
    if (!SendPeerMessage("CH" + t))
        return false;
    chatLines_.push_front(">" + t);
    if (chatLines_.size() > std::size_t(kListLines))
        chatLines_.pop_back();
    if (hooks_.chat)
        hooks_.chat(">" + t);
    return true;
}

// ---------------------------------------------------------------------------------------------

void TTCPSharing::onKeepAlive() {
    if (role_ == TRole::Stopped)
        return;
    if (role_ == TRole::Server && !guardPair())
        return;
    if (role_ == TRole::Client && activated_ && peers_.empty()) {
        retryClient();
        return;
    }
    if (current_) {
        ++missedPings_;
        if (std::uint32_t(missedPings_) > averageDelay_ / 1000 + 2 &&
            ticksSince(lastReceiveTick_) > std::uint32_t(timings_.lostPingMs))
            setLight(TSharingLight::Red);
        std::uint8_t ping[6] = {0, 0};
        ping[0] = role_ == TRole::Client ? 'T' : 'I';
        ping[1] = role_ == TRole::Client ? 'I' : 'T';
        const std::uint32_t now = tickCount();
        for (int i = 0; i < 4; ++i)
            ping[2 + i] = std::uint8_t(now >> (8 * i));
        SendPeerMessage(ping, sizeof ping);
    }
    if (role_ != TRole::Server)
        return;
    const bool idle = current_.isNull() && peers_.size() == 1 &&
                      ticksSince(lastReceiveTick_) > std::uint32_t(timings_.idleRestartMs);
    // Connection attempts alone never drop a client that is being served.
    if (idle || (connectCount_ > 10 && !linkUp_.load()))
        restartServer(peers_.empty());
}

bool TTCPSharing::guardPair() {
    if (peers_.empty())
        return true;
    const std::string who = description(peers_.back()->socket);
    if (!proved_ && ticksSince(pairStart_) > std::uint32_t(timings_.proofMs)) {
        closePeers("No password shown by " + who + ": connection closed");
        return false;
    }
    if (linkUp_.load() && missedPings_ > kMaxMissedPings + int(averageDelay_ / 1000) &&
        ticksSince(lastReceiveTick_) > std::uint32_t(timings_.silenceMs)) {
        closePeers(description(current_) + " answers no pings: connection closed");
        return false;
    }
    return true;
}

bool TTCPSharing::checkPackets(TPeer& peer) {
    const TPacketReader& r = peer.reader;
    if (r.errors() > 0 && r.packets() == 0 && !peer.wrongKeyLogged) {
        peer.wrongKeyLogged = true;
        LogStatus("Wrong password from " + description(peer.socket));
    }
    if (r.errors() < kMaxBadPackets)
        return true;
    LogStatus("Bad packets from " + description(peer.socket) + ": connection closed");
    closePeers({});
    return false;
}

void TTCPSharing::closePeers(const std::string& why) {
    if (!why.empty())
        LogStatus(why);
    std::vector<QTcpSocket*> sockets;
    for (const auto& p : peers_)
        sockets.push_back(p->socket);
    for (QTcpSocket* socket : sockets) {
        socket->abort();
        // abort() reports the disconnection only for a socket that was connected.
        if (findPeer(socket))
            onDisconnected(socket);
    }
}

// The server let the last attempt go before the pair was up (busy with a pair that had not
// shown the password): the next keep-alive tick tries again.
void TTCPSharing::retryClient() {
    StartSharing(TRole::Client);
    ActivateClient();
}

std::int64_t TTCPSharing::unsentBytes() const {
    return current_ ? std::int64_t(current_->bytesToWrite()) : 0;
}

void TTCPSharing::restartServer(bool tableEmpty) {
    LogStatus(tableEmpty ? "Server resources cleanup" : "Client disappeared, restarting server");
    StopSharing();
    if (hooks_.beforeRestart)
        hooks_.beforeRestart();
    StartSharing(TRole::Server);
    if (hooks_.clientsChanged)
        hooks_.clientsChanged();
}

// ---------------------------------------------------------------------------------------------

void TTCPSharing::LogStatus(const std::string& text) {
    const QDateTime now = QDateTime::currentDateTime();
    const std::string line = text + " " + now.toString("HH:mm:ss").toStdString() + " " +
                             now.toString("dd.MM.yyyy").toStdString();
    statusLines_.push_back(line);
    if (statusLines_.size() > std::size_t(kListLines))
        statusLines_.pop_front();
    if (log_) {
        std::fputs((line + "\n").c_str(), log_);
        std::fflush(log_);
    }
    if (hooks_.status)
        hooks_.status(line);
}

void TTCPSharing::setLinkUp(bool on) {
    if (linkUp_.exchange(on) == on)
        return;
    if (hooks_.linkChanged)
        hooks_.linkChanged(on);
}

void TTCPSharing::setLight(TSharingLight light) {
    if (hooks_.light)
        hooks_.light(light);
}

void TTCPSharing::notifyCounters() {
    if (hooks_.counters)
        hooks_.counters();
}

void TTCPSharing::resetSent() {
    sent_ = 0;
    notifyCounters();
}
void TTCPSharing::resetReceived() {
    received_ = 0;
    notifyCounters();
}
void TTCPSharing::resetErrors() {
    errors_ = 0;
    notifyCounters();
}
void TTCPSharing::resetDelay() {
    delayText_.clear();
    maxDelay_ = 0;
    notifyCounters();
}

} // namespace telvor
