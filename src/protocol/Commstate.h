#pragma once
// What the input thread and the user-interface thread share: the main (monitor) lock, the
// input mode, the session flags the routing depends on, the transfer event, and the sinks
// through which received data reach the windows. Sinks are plain interfaces, null until a
// window installs its own, so this layer stays free of the window framework.
#include "protocol/Connectionmode.h"
#include "protocol/Event.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace telvor {

enum class TInputMode : int { Idle = -1, Transfer = 0, Terminal = 1, Logging = 2, Monitoring = 3 };

// The manual-mode terminal. Called on the UI thread (the input thread waits meanwhile).
class TTerminalSink {
public:
    virtual ~TTerminalSink() = default;
    virtual void OnTerminalData(const std::uint8_t* data, std::size_t count) = 0;
};

// The TCP sharing server window.
class TSharingSink {
public:
    virtual ~TSharingSink() = default;
    // Any thread.
    virtual bool ClientConnected() const = 0;
    // UI thread, synchronously for the input thread: one chunk as read from the receiver.
    virtual void OnReceiverData(const std::uint8_t* data, std::size_t count) = 0;
    // UI thread: the current link is about to be closed.
    virtual void OnLinkClosing() = 0;
};

// The real-time logging window, installed while it exists. All but OnPlaybackTimer are called
// by the input thread under the main lock; the sink guards its file with its own lock.
class TRealTimeSink {
public:
    virtual ~TRealTimeSink() = default;
    virtual void WriteData(const std::uint8_t* data, std::size_t count) = 0;
    virtual void NextFile() = 0;
    // Year (16-bit little endian), month, day and the two bytes after them, as received.
    virtual void OnReceiverDate(const std::uint8_t* fiveBytes) = 0;
    virtual void OnReceiverTime(std::uint32_t ms) = 0;
    // UI thread: the window's timer routine, run after each played-back epoch.
    virtual void OnPlaybackTimer() = 0;
};

// The plot data store: every split message, under the main lock; mode changes on the UI thread.
class TPlotSink {
public:
    virtual ~TPlotSink() = default;
    virtual void Offer(const std::uint8_t* message, std::size_t length) = 0;
    virtual void InputModeChanged(TInputMode mode) = 0;
};

// Almanac ("GA", "NA") and external-event ("XA", "XB") decoders, under the main lock.
class TDecoderSink {
public:
    virtual ~TDecoderSink() = default;
    virtual void OnAlmanac(const std::uint8_t* message, std::size_t length) = 0;
    virtual void OnExternalEvent(const std::uint8_t* message, std::size_t length) = 0;
};

// Every split message, under the main lock (input thread): the NMEA output. Must not block.
class TMessageTap {
public:
    virtual ~TMessageTap() = default;
    virtual void OnMessage(const std::uint8_t* message, std::size_t length) = 0;
};

// Keeps the front window disabled while a command waits with event pumping.
class TWaitSink {
public:
    virtual ~TWaitSink() = default;
    virtual void BeginWait() = 0;
    virtual void EndWait() = 0;
};

class TCommState {
public:
    // Main lock first, then any buffer, file or log lock; never the other way round, and never
    // a synchronous hand-off to the UI thread while holding it.
    std::mutex mainLock;

    std::atomic<TInputMode> inputMode{TInputMode::Idle};
    std::atomic<TConnectionMode> connectionMode{cmDirect};
    std::atomic<bool> monitorTimerOn{false};
    std::atomic<bool> configWindowOpen{false};
    std::atomic<bool> testMode{false};

    // Block transfer pacing: set when the reply buffer reaches the threshold.
    TEvent transferEvent{false, false};
    std::atomic<int> transferThreshold{0};

    // Sinks are swapped on the UI thread under the main lock, so the input thread never sees a
    // sink after its setter returned.
    void SetTerminalSink(TTerminalSink* sink);
    void SetSharingSink(TSharingSink* sink);
    void SetRealTimeSink(TRealTimeSink* sink);
    void SetPlotSink(TPlotSink* sink);
    void SetDecoderSink(TDecoderSink* sink);
    void SetWaitSink(TWaitSink* sink) { wait_.store(sink); }
    void SetMessageTap(TMessageTap* tap);

    TTerminalSink* Terminal() const { return terminal_.load(); }
    TSharingSink* Sharing() const { return sharing_.load(); }
    TRealTimeSink* RealTime() const { return realTime_.load(); }
    TPlotSink* Plot() const { return plot_.load(); }
    TDecoderSink* Decoder() const { return decoder_.load(); }
    TWaitSink* Wait() const { return wait_.load(); }
    TMessageTap* Tap() const { return tap_.load(); }

private:
    std::atomic<TTerminalSink*> terminal_{nullptr};
    std::atomic<TSharingSink*> sharing_{nullptr};
    std::atomic<TRealTimeSink*> realTime_{nullptr};
    std::atomic<TPlotSink*> plot_{nullptr};
    std::atomic<TDecoderSink*> decoder_{nullptr};
    std::atomic<TWaitSink*> wait_{nullptr};
    std::atomic<TMessageTap*> tap_{nullptr};
};

// The program's one instance.
TCommState& commState();

// The main window's set-input-mode: under the main lock the current link's reply buffer is
// emptied, the mode stored and the latest-message table cleared; then the plot store is told.
void SetInputMode(TInputMode mode);

} // namespace telvor
