#include "protocol/Commthread.h"

#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Debugcore.h"
#include "protocol/Latestmsgs.h"
#include "protocol/Link.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace telvor {
namespace {

constexpr int kPlaybackChunk = 32;
// Pause between played-back epochs, so a playback without a real-time window does not spin.
constexpr int kPlaybackPauseMs = 100;

inline bool isId(const std::uint8_t* m, const char* id) {
    return m[0] == static_cast<std::uint8_t>(id[0]) && m[1] == static_cast<std::uint8_t>(id[1]);
}

const std::uint8_t kCrLf[2] = {'\r', '\n'};

} // namespace

TCommThread::TCommThread(TReceiverConnection& owner)
    : owner_(owner), splitter_(*this, &stopSplit_) {
    owner_.Input.Clear();
}

TCommThread::~TCommThread() {
    std::thread thread;
    {
        std::lock_guard lock(startLock_);
        thread = std::move(thread_);
    }
    if (thread.joinable()) {
        Terminate();
        owner_.Wake();
        thread.join();
    }
    ClosePlayback();
}

void TCommThread::Start() {
    std::lock_guard lock(startLock_);
    if (started_.exchange(true))
        return;
    thread_ = std::thread([this] {
        Execute();
        std::lock_guard lock(doneLock_);
        done_ = true;
        doneCv_.notify_all();
    });
}

void TCommThread::Terminate() {
    terminate_.store(true);
    stopSplit_.store(true);
}

void TCommThread::WaitFor() {
    std::thread thread;
    {
        std::lock_guard lock(startLock_);
        thread = std::move(thread_);
    }
    if (!thread.joinable())
        return;
    // A synchronous hand-off to the UI thread may be in progress: keep serving it while
    // waiting, or the join would wait for ever.
    const bool pump = uiBridge().isUiThread();
    std::unique_lock lock(doneLock_);
    while (!done_) {
        if (pump) {
            lock.unlock();
            uiBridge().processEvents();
            lock.lock();
        }
        doneCv_.wait_for(lock, std::chrono::milliseconds(pump ? 2 : 100));
    }
    lock.unlock();
    thread.join();
}

void TCommThread::Execute() {
    logLine("Comm thread started");
    TCommState& state = commState();
    while (!terminate_.load()) {
        std::uint32_t word = 0;
        playing_ = PlaybackWanted();
        if (playing_)
            word = kEventData;
        else
            owner_.WaitEvent(word);
        if (terminate_.load())
            break;

        if (word & kEventError) {
            std::string text = owner_.ErrorText();
            debugCore().postError(text);
            logError(text);
        }
        if (!(word & kEventData))
            continue;

        sawEpoch_ = false;
        while (!terminate_.load()) {
            int count = playing_ ? ReadPlayback(readBuffer_, kPlaybackChunk)
                                 : owner_.Read(readBuffer_, kReadSize);
            lastCount_ = count;
            if (count <= 0)
                break;
            readBuffer_[count] = 0;
            owner_.LastWriteTick.store(tickCount());

            if (state.connectionMode.load() == cmInternetServer) {
                TSharingSink* sharing = state.Sharing();
                if (sharing && sharing->ClientConnected()) {
                    uiBridge().runSync([this, count] {
                        if (TSharingSink* s = commState().Sharing())
                            s->OnReceiverData(readBuffer_, count);
                    });
                    if (!state.monitorTimerOn.load())
                        continue;
                }
            }

            ProcessChunk(count);
            if (playing_ && sawEpoch_)
                break;
        }

        if (playing_ && !terminate_.load()) {
            uiBridge().runSync([] {
                if (TRealTimeSink* rt = commState().RealTime())
                    rt->OnPlaybackTimer();
            });
            owner_.WaitWake(kPlaybackPauseMs);
        }
    }
    ClosePlayback();
}

void TCommThread::ProcessChunk(int count) {
    if (Route(readBuffer_, count) == TInputMode::Idle)
        ClosePlayback();
}

TInputMode TCommThread::Route(const std::uint8_t* bytes, int count) {
    TCommState& state = commState();
    TInputMode mode;
    {
        std::lock_guard lock(state.mainLock);
        mode = state.inputMode.load();
        if (mode != TInputMode::Logging && mode != TInputMode::Monitoring) {
            splitter_.reset();
            damage_.reset();
        }
        logInput(tickCount(), bytes, count);
        switch (mode) {
        case TInputMode::Idle:
            AppendToReply(bytes, count);
            break;
        case TInputMode::Transfer:
            AppendAndSignal(bytes, count);
            break;
        case TInputMode::Terminal:
            break;
        case TInputMode::Logging:
        case TInputMode::Monitoring:
            Split(bytes, count);
            break;
        }
    }
    // Outside the main lock: the UI thread may be waiting for it.
    if (mode == TInputMode::Terminal)
        uiBridge().runSync([bytes, count] {
            if (TTerminalSink* terminal = commState().Terminal())
                terminal->OnTerminalData(bytes, std::size_t(count));
        });
    return mode;
}

void TCommThread::Split(const std::uint8_t* bytes, int count) {
    stopSplit_.store(terminate_.load());
    // Feeding no more than the splitter has room for loses nothing: every pass frees the
    // room of the messages and garbage it consumed.
    std::size_t offset = 0, total = static_cast<std::size_t>(count);
    while (offset < total && !stopSplit_.load()) {
        std::size_t room = splitter_.space();
        std::size_t part = room == 0 ? total - offset : std::min(room, total - offset);
        splitter_.feed(bytes + offset, part);
        offset += part;
    }
}

void TCommThread::onMessage(const std::uint8_t* m, std::size_t length) {
    messages_.fetch_add(1, std::memory_order_relaxed);
    if (const std::uint64_t cut = damage_.interrupted())
        damaged_.fetch_add(cut, std::memory_order_relaxed);
    TCommState& state = commState();
    const TInputMode mode = state.inputMode.load();
    TRealTimeSink* rt = state.RealTime();

    if (isId(m, "QF") && length == 90 && rt)
        rt->NextFile();
    if (TPlotSink* plot = state.Plot())
        plot->Offer(m, length);
    if (TMessageTap* tap = state.Tap())
        tap->OnMessage(m, length);

    if (isId(m, "RE") || isId(m, "ER")) {
        AppendToReply(m, static_cast<int>(length));
        AppendToReply(kCrLf, 2);
        // The end of a file on the receiver's side: "%FEnd%" echoed in a reply.
        if (mode == TInputMode::Logging && rt && isId(m, "RE") && length >= 10 &&
            std::memcmp(m + 6, "FEnd", 4) == 0)
            rt->NextFile();
    } else if (isId(m, "GS") || isId(m, "NS")) {
        // Status replies of the satellite tables: nothing beyond the plot store.
    } else {
        if (mode == TInputMode::Logging && rt)
            rt->WriteData(m, length);
        if (isId(m, "RD") && rt && length >= 10)
            rt->OnReceiverDate(m + 5);
        else if (isId(m, "PG") && state.configWindowOpen.load()) {
            AppendToReply(m, static_cast<int>(length));
            AppendToReply(kCrLf, 2);
        } else if (isId(m, "GA") || isId(m, "NA")) {
            if (TDecoderSink* decoder = state.Decoder())
                decoder->OnAlmanac(m, length);
        } else if (isId(m, "XA") || isId(m, "XB")) {
            if (TDecoderSink* decoder = state.Decoder())
                decoder->OnExternalEvent(m, length);
        } else if (isId(m, "~~") && rt && length >= 9) {
            std::uint32_t time =
                static_cast<std::uint32_t>(m[5]) | static_cast<std::uint32_t>(m[6]) << 8 |
                static_cast<std::uint32_t>(m[7]) << 16 | static_cast<std::uint32_t>(m[8]) << 24;
            rt->OnReceiverTime(time);
        }
    }

    logReceived(m, length);

    if (latestMessages().Store(m, length) && isId(m, "~~"))
        sawEpoch_ = true;

    if (isId(m, "||"))
        uiBridge().post(rt ? TWindowId::RealTime : TWindowId::Main, kSyncCode);
    else if (isId(m, "~~") && rt)
        uiBridge().post(TWindowId::RealTime, kSyncCode);

    if (playing_ && sawEpoch_)
        stopSplit_.store(true);
}

void TCommThread::onSkipped(const std::uint8_t* bytes, std::size_t count, bool /*garbage*/) {
    skipped_.fetch_add(count, std::memory_order_relaxed);
    // Raw-measurement frames come this way too, and they are not damage.
    const std::uint64_t damaged = damage_.skipped(bytes, count);
    if (damaged > 0)
        damaged_.fetch_add(damaged, std::memory_order_relaxed);
    TCommState& state = commState();
    if (state.inputMode.load() == TInputMode::Logging)
        if (TRealTimeSink* rt = state.RealTime())
            rt->WriteData(bytes, count);
    if (damaged > 0 && playing_ && debugCore().visible()) {
        static const std::string kBroken = "Probably broken message";
        debugCore().postError(kBroken);
        logError(kBroken);
    }
}

void TCommThread::AppendToReply(const std::uint8_t* bytes, int count) {
    owner_.Input.Append(bytes, count);
}

void TCommThread::AppendAndSignal(const std::uint8_t* bytes, int count) {
    TCommState& state = commState();
    int fill = owner_.Input.Append(bytes, count);
    if (fill >= state.transferThreshold.load())
        state.transferEvent.Set();
}

void TCommThread::FlushPending() {
    TCommState& state = commState();
    std::lock_guard lock(state.mainLock);
    if (splitter_.pending() == 0)
        return;
    if (TRealTimeSink* rt = state.RealTime())
        rt->WriteData(splitter_.pendingData(), splitter_.pending());
    splitter_.reset();
    damage_.reset();
}

TSplitCounts TCommThread::Counts() const {
    return {messages_.load(), skipped_.load(), damaged_.load()};
}

std::size_t TCommThread::PendingBytes() {
    std::lock_guard lock(commState().mainLock);
    return splitter_.pending();
}

bool TCommThread::PlaybackWanted() {
    TCommState& state = commState();
    if (!state.testMode.load() || state.inputMode.load() != TInputMode::Monitoring) {
        ClosePlayback();
        return false;
    }
    if (!playback_)
        playback_ = std::fopen(kPlaybackFile, "rb");
    return playback_ != nullptr;
}

int TCommThread::ReadPlayback(std::uint8_t* buffer, int count) {
    if (!playback_)
        return 0;
    std::size_t n = std::fread(buffer, 1, count, playback_);
    if (n == 0) {
        std::rewind(playback_);
        n = std::fread(buffer, 1, count, playback_);
    }
    return static_cast<int>(n);
}

void TCommThread::ClosePlayback() {
    if (playback_) {
        std::fclose(playback_);
        playback_ = nullptr;
    }
}

} // namespace telvor
