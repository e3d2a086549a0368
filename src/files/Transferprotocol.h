#pragma once
// Copies one file of the receiver's "/log/" directory into a computer file: asks for its size,
// resumes after what the target already holds, and has the receiver send numbered blocks with
// a running CRC, answering each with ACK, or NAK for a damaged or missing one.
#include "files/Fileio.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace telvor {

class TProfile;

// Where the transfer reports; the file manager's status bar and counters.
class TTransferView {
public:
    virtual ~TTransferView() = default;
    virtual void setProgress(int percent) = 0; // < 0 clears the panel
    virtual void setStatus(const std::string& text) = 0;
    virtual void showBlocks(int value) = 0;  // "Blocks: " + (value + 1); -1 hides
    virtual void showRetries(int count) = 0; // "Retries:  " + count; 0 hides
    virtual void enableStop(bool on) = 0;
    // Bytes of the receiver file that are now in the target, of `total`.
    virtual void bytesDone(std::int64_t /*done*/, std::int64_t /*total*/) {}
    // Polled inside the waits beside RequestAbort (a signal that cannot reach the transfer).
    virtual bool stopRequested() { return false; }
};

class TTransferProtocol {
public:
    TTransferProtocol(TTransferView& view, const TProfile& profile);

    // Separate parallel ports are not offered on this platform: an empty name is the only
    // source, and any other is refused by Download.
    void SetPortName(const std::string& name);
    void ClosePort() {}
    // Index of the block-size list: 0 "512 bytes", 1 "1024 bytes", 2 "2048 bytes".
    void SetBlockSizeIndex(int index) { blockSizeIndex_ = index; }

    // True on success or when nothing is left to download; the reason of a failure is in the
    // status and in errorText.
    bool Download(FileAccess& access, const std::string& receiverName, bool fastLink);
    // From the Stop button (or a signal): the receive loop ends with "Aborted by user!".
    void RequestAbort() { abortRequested = true; }

    std::string errorText;
    std::string portName;
    int retryCount = 0;
    bool timedOut = false;
    std::atomic<bool> abortRequested{false};
    int blockCount = 0;
    int timeoutMs = 3000;
    // Of the last download: the speed shown at its end (KBps, as the status gives it).
    double speedKBps = 0;

private:
    enum class TReceive { Block, Failed };
    bool fail(const std::string& text);
    bool finish();
    TReceive receiveBlock(std::uint8_t* wire, int wireSize);
    void retry(const std::string& status);
    void sendControl(std::uint8_t byte);
    int blockLength() const;

    TTransferView& view_;
    const TProfile& profile_;
    int blockSizeIndex_ = 0;
    int length_ = 512;
    bool fastLink_ = false;
    std::uint32_t startTick_ = 0;
};

} // namespace telvor
