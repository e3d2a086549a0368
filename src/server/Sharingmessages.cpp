// The sharing protocol's messages as each end takes them: a table from code to handler per
// role, the server's proof that its client knows the password, and the pings.
#include "server/Tcpsharing.h"

#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Link.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"
#include "server/Sharingpacket.h"

#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace telvor {
namespace {

constexpr std::uint32_t kMaxPingDelay = 200000;
constexpr std::uint32_t kMaxLatency = 3000;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// A peer's text made safe for one line of the list and the log.
std::string peerText(const std::uint8_t* body, std::size_t count) {
    return escapeForLog(std::string_view(reinterpret_cast<const char*>(body), count));
}

} // namespace

struct TTCPSharing::TCodeEntry {
    char code[3];
    THandler handler;
};

TTCPSharing::THandler TTCPSharing::handlerFor(TRole role, const std::uint8_t* m) {
    // What a server takes from its client.
    static constexpr TCodeEntry kServer[] = {
        {"WC", &TTCPSharing::onCommandMessage},   {"SB", &TTCPSharing::onSpeedMessage},
        {"SH", &TTCPSharing::onHandshakeMessage}, {"TI", &TTCPSharing::onPeerPing},
        {"IT", &TTCPSharing::onOwnPing},          {"CH", &TTCPSharing::onChatMessage},
        {"ME", &TTCPSharing::onNoticeMessage},    {"ER", &TTCPSharing::onErrorMessage},
        {"FI", &TTCPSharing::onClosingMessage},
    };
    // What a client takes from its server.
    static constexpr TCodeEntry kClient[] = {
        {"MM", &TTCPSharing::onReceiverOutput}, {"IT", &TTCPSharing::onPeerPing},
        {"TI", &TTCPSharing::onOwnPing},        {"CH", &TTCPSharing::onChatMessage},
        {"ME", &TTCPSharing::onNoticeMessage},  {"ER", &TTCPSharing::onErrorMessage},
        {"BU", &TTCPSharing::onBusyMessage},    {"FI", &TTCPSharing::onClosingMessage},
    };
    auto find = [m](const auto& table) -> THandler {
        for (const TCodeEntry& e : table)
            if (m[0] == std::uint8_t(e.code[0]) && m[1] == std::uint8_t(e.code[1]))
                return e.handler;
        return &TTCPSharing::onUnknownMessage;
    };
    return role == TRole::Server ? find(kServer) : find(kClient);
}

void TTCPSharing::handleMessage(TPeer& peer, const std::uint8_t* m, std::size_t n) {
    // An empty packet reads the same under every key: it proves nothing and keeps nothing
    // alive.
    if (n < 2) {
        ++errors_;
        return;
    }
    lastReceiveTick_ = tickCount();
    ++goodPackets_;
    const THandler handler = handlerFor(role_, m);
    if (role_ == TRole::Server && !proved_ && handler != &TTCPSharing::onUnknownMessage &&
        provesKey(m, n))
        proved_ = true;
    (this->*handler)(peer, m, n);
}

void TTCPSharing::onReceiverOutput(TPeer&, const std::uint8_t* m, std::size_t n) {
    const std::uint8_t* body = m + 2;
    const std::size_t size = n - 2;
    if (clientInput_.size() + size > kClientInputSize)
        dispatchClientInput();
    clientInput_.insert(clientInput_.end(), body, body + size);
    if (clientInput_.size() >= kClientInputSize)
        dispatchClientInput();
}

void TTCPSharing::onCommandMessage(TPeer&, const std::uint8_t* m, std::size_t n) {
    if (linkUp_.load())
        handleCommand(m + 2, n - 2);
}

void TTCPSharing::onSpeedMessage(TPeer&, const std::uint8_t* m, std::size_t n) {
    if (linkUp_.load() && n >= 6 && CurrentConnection)
        CurrentConnection->SetSpeed(le32(m + 2));
}

void TTCPSharing::onHandshakeMessage(TPeer&, const std::uint8_t* m, std::size_t n) {
    if (linkUp_.load() && n >= 3 && CurrentConnection)
        CurrentConnection->SetHandshake(m[2] != 0);
}

// The other end's ping goes back unchanged.
void TTCPSharing::onPeerPing(TPeer& peer, const std::uint8_t* m, std::size_t n) {
    SendPeerMessage(m, n, peer.socket);
}

void TTCPSharing::onChatMessage(TPeer&, const std::uint8_t* m, std::size_t n) {
    const std::string line = "<" + peerText(m + 2, n - 2);
    chatLines_.push_front(line);
    if (chatLines_.size() > std::size_t(kListLines))
        chatLines_.pop_back();
    if (hooks_.chat)
        hooks_.chat(line);
    if (hooks_.beep)
        hooks_.beep();
}

void TTCPSharing::onNoticeMessage(TPeer&, const std::uint8_t* m, std::size_t n) {
    LogStatus("MSG: " + peerText(m + 2, n - 2));
}

void TTCPSharing::onErrorMessage(TPeer& peer, const std::uint8_t* m, std::size_t n) {
    LogStatus("ERR: from " + description(peer.socket) + ": " + peerText(m + 2, n - 2));
}

void TTCPSharing::onBusyMessage(TPeer&, const std::uint8_t* m, std::size_t n) {
    const std::string line = n == 2 ? "Server it busy with another client"
                                    : "Server it busy with " + peerText(m + 2, n - 2);
    LogStatus(line);
    if (hooks_.busy)
        hooks_.busy(line);
}

void TTCPSharing::onClosingMessage(TPeer& peer, const std::uint8_t*, std::size_t) {
    LogStatus(description(peer.socket) + " is closing");
}

void TTCPSharing::onUnknownMessage(TPeer& peer, const std::uint8_t* m, std::size_t) {
    char text[80];
    std::snprintf(text, sizeof text, "Unknown message received, code %04X (",
                  unsigned(m[0]) | unsigned(m[1]) << 8);
    const std::string line = text + peerText(m, 2) + ")";
    LogStatus(line);
    SendPeerMessage("ER" + line, peer.socket);
}

void TTCPSharing::onOwnPing(TPeer&, const std::uint8_t* m, std::size_t n) {
    if (n < 6)
        return;
    const std::uint32_t delay = ticksSince(le32(m + 2));
    if (delay > kMaxPingDelay)
        return;
    maxDelay_ = std::max(maxDelay_, delay);
    averageDelay_ = (averageDelay_ + delay) / 2;
    delayText_ = std::to_string(delay) + " (" + std::to_string(averageDelay_) + ", " +
                 std::to_string(maxDelay_) + ") ms";
    if (role_ == TRole::Client) {
        SetLatencyAllowance(std::min(2 * averageDelay_ + 500, kMaxLatency));
        latencyKnown_ = true;
    }
    missedPings_ = 0;
    blue_ = !blue_;
    setLight(blue_ ? TSharingLight::Blue : TSharingLight::Green);
    notifyCounters();
}

void TTCPSharing::handleCommand(const std::uint8_t* body, std::size_t count) {
    forwarder_.onCommand(std::string_view(reinterpret_cast<const char*>(body), count));
    if (forwarder_.flushTimerOn() != flushTimerActive()) {
        if (forwarder_.flushTimerOn())
            startFlushTimer();
        else
            stopFlushTimer();
    }
    if (count > 0 && CurrentConnection)
        CurrentConnection->Write(body, int(count));
}

void TTCPSharing::dispatchClientInput() {
    std::vector<std::uint8_t> data;
    data.swap(clientInput_);
    clientInput_.reserve(kClientInputSize);
    RouteInput(data.data(), int(data.size()));
}

} // namespace telvor
