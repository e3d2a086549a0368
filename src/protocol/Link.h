#pragma once
// The receiver link as the protocol layer sees it: what every link does (read, write, wait
// for data, its reply buffer and input thread) and the one current link the command engine and
// the input thread work on. The concrete links and the factory that sets the current link are
// in links/.
#include "protocol/Event.h"
#include "protocol/Sharedbuff.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace telvor {

class TCommThread;

// Link kinds; the session branches on them.
constexpr std::uint8_t kLinkSerial = 0;
constexpr std::uint8_t kLinkParallel = 1;
constexpr std::uint8_t kLinkInternetClient = 2;
constexpr std::uint8_t kLinkEthernet = 3;
constexpr std::uint8_t kLinkUsb = 4;
constexpr std::uint8_t kLinkReplay = 5; // a recording played back

// Bits of the event word and of the event mask.
constexpr std::uint32_t kEventData = 0x01;
constexpr std::uint32_t kEventError = 0x80;

constexpr int kReplyBufferSize = 8192;

class TReceiverConnection {
public:
    explicit TReceiverConnection(std::uint8_t kind);
    TReceiverConnection(const TReceiverConnection&) = delete;
    TReceiverConnection& operator=(const TReceiverConnection&) = delete;
    virtual ~TReceiverConnection();

    // Input thread only: never waits for more than is available (Ethernet: the next packet).
    virtual int Read(std::uint8_t* buffer, int count) = 0;
    // Reads until `count` bytes came or timeout + transmission time of `count` passed.
    virtual int ReadTimed(std::uint8_t* buffer, int count, std::uint32_t timeoutMs);
    // Bytes accepted; fewer than asked means failure.
    virtual int Write(const std::uint8_t* bytes, int count) = 0;
    virtual bool SetEventMask(std::uint32_t mask);
    // Input thread only: blocks until data can be read, an error was recorded or the link is
    // woken for closing; kEventData / kEventError tell which.
    virtual void WaitEvent(std::uint32_t& word) = 0;
    virtual bool SetSpeed(std::uint32_t bitsPerSecond);
    virtual std::uint32_t GetSpeed();
    virtual bool SetHandshake(bool on);
    virtual bool Reconnect(int attempts);
    // Starts a connection attempt that sets `done` when it ends; false when none was started.
    virtual bool StartConnect(TEvent* done);
    virtual void Cancel();
    // Whether the other end is there: links that connect by themselves (Ethernet) lose it when
    // the peer hangs up; the others are connected while they are open.
    virtual bool IsConnected() const;
    virtual bool Purge();
    // Formats a command line (checksum suffix, CR LF) and writes it whole.
    virtual bool SendCommand(std::string_view text);

    // Writes text as it stands; true when every byte went out.
    bool WriteRaw(std::string_view text);

    // The last failure; empty while the link is usable. Safe from any thread.
    std::string ErrorText() const;
    // Why the link is down, for "Link lost: ..."; empty while it is connected.
    std::string LostReason() const;
    void SetErrorText(std::string text);
    void ClearErrorText() { SetErrorText({}); }

    // Wake-up of the input thread (an eventfd polled beside the device). Stays set until reset.
    void Wake();
    void ResetWake();
    int WakeFd() const { return wakeFd_; }
    // Waits on the wake-up alone, up to `timeoutMs` (negative: without limit); true when set.
    bool WaitWake(int timeoutMs) const;

    // Input thread: started when the link opened; closing stops it.
    bool ThreadStarted() const;
    void ResumeThread();
    // Asks the input thread to end, wakes it and waits until it has (pumping UI events while
    // waiting on the UI thread, so that a hand-off in progress can finish).
    void StopThread();

    std::atomic<std::uint32_t> LastWriteTick;
    TSharedBuffer Input{kReplyBufferSize};
    std::unique_ptr<TCommThread> Thread;
    std::atomic<std::uint32_t> EventMask{0};
    std::atomic<std::uint32_t> Speed{115200};
    const std::uint8_t Kind;

protected:
    // Used by ReadTimed between reads that found nothing; returns early when data may be there.
    virtual void WaitReadable(int timeoutMs);

private:
    mutable std::mutex errorLock_;
    std::string errorText_;
    int wakeFd_ = -1;
};

// The one link, or null. Changed only on the UI thread by the factory (links/Portio.h) and
// the close.
extern TReceiverConnection* CurrentConnection;

// Bytes straight into the current link's reply buffer.
void FeedInput(const std::uint8_t* bytes, int count);
// Bytes from a remote sharing server, routed by the input mode as if the link's thread had
// read them.
void RouteInput(const std::uint8_t* bytes, int count);

} // namespace telvor
