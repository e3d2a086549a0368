#include "links/Replayconnection.h"

#include "protocol/Bridge.h"
#include "protocol/Commthread.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <cstring>

namespace telvor {
namespace {
constexpr std::int64_t kIdleWaitMs = 1000;
} // namespace

TReplayConnection::TReplayConnection(const std::string& path, TReplayClock& clock)
    : TReceiverConnection(kLinkReplay), pacer_(clock) {
    std::string error = file_.open(path);
    if (!error.empty())
        SetErrorText(error);
}

TReplayConnection::~TReplayConnection() {
    StopThread();
}

int TReplayConnection::Read(std::uint8_t* buffer, int count) {
    std::lock_guard lock(lock_);
    const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(count), grantEnd_ - position_);
    if (n > 0)
        std::memcpy(buffer, file_.data() + position_, n);
    position_ += n;
    return int(n);
}

int TReplayConnection::Write(const std::uint8_t*, int) {
    return 0;
}

std::int64_t TReplayConnection::grantNext() {
    if (seekPending_) {
        seekPending_ = false;
        next_ = seekTo_;
        prefixDone_ = true;
        finished_ = false;
        position_ = next_ < file_.epochs().size() ? file_.epochs()[next_].offset : file_.size();
        grantEnd_ = position_;
        pacer_.restart();
    }
    const auto& epochs = file_.epochs();
    if (!prefixDone_) {
        // What the file holds before its first epoch (replies, a file identifier) goes at once.
        prefixDone_ = true;
        grantEnd_ = epochs.empty() ? file_.size() : epochs.front().offset;
        if (grantEnd_ > position_)
            return 0;
    }
    if (next_ >= epochs.size()) {
        finished_ = position_ >= file_.size();
        return -1;
    }
    const std::int64_t wait = pacer_.waitMs(epochs[next_].receiverMs);
    if (wait != 0)
        return wait;
    pacer_.released(epochs[next_].receiverMs);
    receiverMs_ = epochs[next_].receiverMs;
    grantEnd_ = file_.epochEnd(next_);
    ++next_;
    return 0;
}

void TReplayConnection::WaitEvent(std::uint32_t& word) {
    word = 0;
    // The input thread has routed what it was granted, and its "SYNC" is posted. Going on only
    // once the UI thread has handled it keeps every epoch on the display, however fast.
    bool wasGranted;
    {
        std::lock_guard lock(lock_);
        wasGranted = granted_;
        granted_ = false;
    }
    if (wasGranted && !uiBridge().isUiThread())
        uiBridge().runSync([] {});
    std::int64_t wait;
    {
        std::lock_guard lock(lock_);
        wait = grantNext();
        granted_ = wait == 0;
    }
    if (wait == 0) {
        word = kEventData;
        return;
    }
    // Until the epoch is due, or a control or the close wakes the thread: it then asks again.
    // A paused replay is no silent receiver: the monitor's watchdog must not close it.
    LastWriteTick.store(tickCount());
    if (WaitWake(int(wait < 0 ? kIdleWaitMs : std::min<std::int64_t>(wait, kIdleWaitMs))))
        ResetWake();
}

void TReplayConnection::setSpeed(double factor) {
    {
        std::lock_guard lock(lock_);
        pacer_.setSpeed(factor);
    }
    Wake();
}

void TReplayConnection::setPaused(bool on) {
    {
        std::lock_guard lock(lock_);
        pacer_.setPaused(on);
    }
    Wake();
}

void TReplayConnection::step() {
    {
        std::lock_guard lock(lock_);
        pacer_.step();
    }
    Wake();
}

void TReplayConnection::seekTime(std::int64_t receiverMs) {
    seekEpoch(file_.epochAt(receiverMs));
}

void TReplayConnection::seekEpoch(std::size_t index) {
    {
        std::lock_guard lock(lock_);
        // Taken up between two epochs, so that no message is cut in two.
        seekPending_ = true;
        seekTo_ = std::min(index, file_.epochs().size());
    }
    Wake();
}

TReplayStatus TReplayConnection::status() const {
    std::lock_guard lock(lock_);
    TReplayStatus s;
    s.position = position_;
    s.size = file_.size();
    s.epoch = next_;
    s.epochs = file_.epochs().size();
    s.receiverMs = receiverMs_;
    if (!file_.epochs().empty()) {
        s.firstMs = file_.epochs().front().receiverMs;
        s.lastMs = file_.epochs().back().receiverMs;
    }
    s.speed = pacer_.speed();
    s.paused = pacer_.paused();
    s.finished = finished_;
    return s;
}

std::string OpenReplayConnection(const std::string& path) {
    auto* link = new TReplayConnection(path);
    CurrentConnection = link;
    std::string error = link->ErrorText();
    if (error.empty())
        link->ResumeThread();
    return error;
}

std::string replaySummary(TReplayConnection& link) {
    if (!link.Thread)
        return {};
    const TSplitCounts c = link.Thread->Counts();
    const std::size_t pending = link.Thread->PendingBytes();
    std::string text = "Replayed " + std::to_string(link.status().epoch) + " epochs, " +
                       std::to_string(c.messages) + " messages; " + std::to_string(c.skipped) +
                       " bytes skipped, " + std::to_string(c.damaged) + " of them damaged";
    if (pending > 0)
        text += "; " + std::to_string(pending) + " bytes of a cut-off message at the end";
    return text;
}

TReplayConnection* CurrentReplay() {
    TReceiverConnection* link = CurrentConnection;
    return link && link->Kind == kLinkReplay ? static_cast<TReplayConnection*>(link) : nullptr;
}

} // namespace telvor
