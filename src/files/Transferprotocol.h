#pragma once
// Copies one file of the receiver's "/log/" directory into a computer file: asks for its size,
// resumes after what the target already holds, and has the receiver send numbered blocks with
// a running CRC, answering each with ACK, or NAK for a damaged or missing one.
#include "files/Fileio.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace telvor {

struct TBlockInfo;
class TParallelConnection;
class TParallelPort;
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
    ~TTransferProtocol();

    // A parallel port ("LPT1") as the source beside the current link, opened for each
    // download; empty for the current link.
    void SetPortName(const std::string& name);
    void ClosePort();
    // The file manager's "Print" box: a raw parallel source streams the file unframed.
    void SetViaPrint(bool on) { viaPrint_ = on; }
    // Index of the block-size list: 0 "512 bytes", 1 "1024 bytes", 2 "2048 bytes".
    void SetBlockSizeIndex(int index) { blockSizeIndex_ = index; }

    // True on success or when nothing is left to download; the reason of a failure is in the
    // status and in errorText.
    bool Download(FileAccess& access, const std::string& receiverName, bool fastLink);
    // From the Stop button (or a signal): the receive loop ends with "Aborted by user!".
    void RequestAbort();

    std::string errorText;
    std::string portName;
    int retryCount = 0;
    bool timedOut = false;
    std::atomic<bool> abortRequested{false};
    int blockCount = 0;
    int timeoutMs = 3000;
    // The raw parallel channel of this download: the separate port or the parallel link's.
    TParallelPort* port = nullptr;
    // Of the last download: the speed shown at its end (KBps, as the status gives it).
    double speedKBps = 0;

private:
    enum class TReceive { Block, Failed };
    // The steps of a download, in their order.
    bool download(FileAccess& access, const std::string& name);
    bool openSeparatePort();
    void resetCounters();
    bool receiverReady();
    std::int64_t storageBlockSize();
    // "" with the size, else the status text.
    std::string querySize(const std::string& name, std::int64_t& size);
    void setTimeouts(std::int64_t storageBlock);
    std::string transferCommand(const std::string& name, std::int64_t offset) const;
    bool requestBlocks(const std::string& command);
    void startBlockPhase(const std::string& name);
    bool receiveBlocks(FileAccess& access, const std::string& name);
    void answerBlock(const TBlockInfo& info);
    bool keepBlock(FileAccess& access, const std::string& name, const std::uint8_t* wire,
                   const TBlockInfo& info);
    // Before the block phase: the reason shown, nothing to cancel on the receiver.
    bool failEarly(const std::string& text);
    // In the block phase: the receiver told to give up.
    bool fail(const std::string& text);
    bool finish();
    TReceive receiveBlock(std::uint8_t* wire, int wireSize);
    TReceive receivePortBlock(std::uint8_t* wire, int wireSize);
    bool viaPrint(FileAccess& access, const std::string& name, std::int64_t size,
                  std::int64_t offset);
    // Reads from the raw port in slices that keep the interface alive; stops on Stop.
    int readPort(std::uint8_t* buffer, int count, int timeoutMs);
    void sendDirect(const std::string& text);
    void enterRawLink();
    void leaveRaw();
    bool stopping();
    void retry(const std::string& status);
    void sendControl(std::uint8_t byte);
    int blockLength() const;

    TTransferView& view_;
    const TProfile& profile_;
    int blockSizeIndex_ = 0;
    int length_ = 512;
    bool fastLink_ = false;
    std::uint32_t startTick_ = 0;
    // Of the current download: the receiver file's size, where the target resumes, the good
    // bytes since, the shown percentage, the CRC left by the last good block.
    std::int64_t size_ = 0, offset_ = 0, received_ = 0;
    int percent_ = 0;
    std::uint16_t runningCrc_ = 0;
    int blockTimeoutMs_ = 0;
    bool viaPrint_ = false;
    std::unique_ptr<TParallelPort> ownedPort_;
    TParallelConnection* rawLink_ = nullptr;
};

} // namespace telvor
