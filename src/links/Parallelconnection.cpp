#include "links/Parallelconnection.h"

#include "protocol/Debugcore.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace telvor {
namespace {

constexpr int kWriteAttempts = 5;

} // namespace

TParallelConnection::TParallelConnection(const std::string& portName, TParallelBus& bus)
    : TReceiverConnection(kLinkParallel), port_(std::make_unique<TParallelPort>(portName, bus)) {
    if (std::string error = port_->ErrorText(); !error.empty()) {
        SetErrorText(error);
        port_.reset();
    }
    // Even a failed port gets its thread: with mask 0 it only sleeps.
    ResumeThread();
}

TParallelConnection::~TParallelConnection() {
    // The thread polls the port: it must be gone before the port is.
    if (ThreadStarted())
        StopThread();
    port_.reset();
}

void TParallelConnection::WaitEvent(std::uint32_t& word) {
    word = 0;
    for (;;) {
        if ((EventMask.load() & kEventData) && port_) {
            switch (port_->Poll()) {
            case 0:
                PollInterval = 2;
                word = kEventData;
                return;
            case 1:
                PollInterval = 2;
                break;
            default:
                PollInterval = 35;
                break;
            }
        }
        if (WaitWake(PollInterval.load())) {
            ResetWake();
            return;
        }
    }
}

int TParallelConnection::Read(std::uint8_t* buffer, int count) {
    return port_ ? port_->Read(buffer, count) : 0;
}

int TParallelConnection::Write(const std::uint8_t* bytes, int count) {
    logCommand(bytes, static_cast<std::size_t>(std::max(0, count)));
    LastWriteTick = tickCount();
    if (!port_ || count <= 0)
        return 0;
    int total = 0;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        total += port_->Write(bytes + total, count - total);
        if (total >= count || !Reconnect(1))
            break;
    }
    return total;
}

bool TParallelConnection::Reconnect(int attempts) {
    if (!port_)
        return true;
    const std::uint32_t mask = EventMask.exchange(0);
    debugCore().showLine("LPT reconnect request");
    bool ok = false;
    for (int i = 0; i < attempts && !ok; ++i) {
        ok = port_->Renegotiate();
        if (ok) {
            debugCore().showLine("LPT reconnect success");
        } else {
            debugCore().showError("LPT reconnect: " + port_->ErrorText());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    EventMask.store(mask);
    return ok;
}

void TParallelConnection::SetRawMode(bool on) {
    if (raw_.exchange(on) == on)
        return;
    if (on)
        savedMask_ = EventMask.exchange(0);
    else
        EventMask.store(savedMask_);
}

std::uint16_t ListParallelPorts(std::vector<std::string>& list, const std::string& wanted,
                                TParallelBus& bus) {
    std::uint16_t base = 0;
    for (const auto& port : bus.ports()) {
        char text[96];
        std::snprintf(text, sizeof text, "%s base %03Xh at %s", port.name.c_str(), port.base,
                      port.device.c_str());
        debugCore().showLine(text);
        if (std::find(list.begin(), list.end(), port.name) == list.end())
            list.push_back(port.name);
        if (port.name == wanted)
            base = port.base;
    }
    return base;
}

} // namespace telvor
