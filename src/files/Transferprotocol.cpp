#include "files/Transferprotocol.h"

#include "files/Block.h"
#include "links/Parallelconnection.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"
#include "protocol/Debugcore.h"
#include "protocol/Link.h"
#include "protocol/Messageformat.h"
#include "protocol/Numbers.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace telvor {
namespace {

constexpr int kSliceMs = 100;
constexpr int kCommandMs = 2000;

// A whole decimal number (the receiver's figures); false for anything else.
bool readNumber(const std::string& text, std::int64_t& value) {
    const auto v = parseInteger(text);
    if (v)
        value = *v;
    return v.has_value();
}

std::string crcErrorText(std::uint16_t computed, std::uint16_t received) {
    char text[64];
    std::snprintf(text, sizeof text, "Last error: CRC error %04X <> %04X", computed, received);
    return text;
}

// The body of an "ER" message at the front of the buffer, without its framing.
std::string receiverError(const std::uint8_t* data, int fill) {
    std::string text;
    for (int i = 5; i < fill && data[i] != 0; ++i)
        text += static_cast<char>(data[i]);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    return text.empty() ? "Receiver error" : text;
}

void waitMs(int ms) {
    for (std::uint32_t start = tickCount(); ticksSince(start) < static_cast<std::uint32_t>(ms);) {
        uiBridge().processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

TTransferProtocol::TTransferProtocol(TTransferView& view, const TProfile& profile)
    : view_(view), profile_(profile) {}

TTransferProtocol::~TTransferProtocol() {
    leaveRaw();
}

void TTransferProtocol::SetPortName(const std::string& name) {
    portName = name;
    errorText.clear();
}

void TTransferProtocol::ClosePort() {
    if (ownedPort_ && port == ownedPort_.get())
        port = nullptr;
    ownedPort_.reset();
}

void TTransferProtocol::RequestAbort() {
    abortRequested = true;
    if (port)
        port->Abort();
}

bool TTransferProtocol::stopping() {
    if (view_.stopRequested())
        abortRequested = true;
    if (abortRequested && port)
        port->Abort();
    return abortRequested;
}

void TTransferProtocol::enterRawLink() {
    auto* link = dynamic_cast<TParallelConnection*>(CurrentConnection);
    if (ownedPort_ || !link || !link->Port())
        return;
    link->SetRawMode(true);
    rawLink_ = link;
    port = link->Port();
    port->ClearAbort();
    waitMs(100);
}

// Gives the parallel link its messages back and closes a separate port.
void TTransferProtocol::leaveRaw() {
    if (rawLink_) {
        // The link may have been closed from inside the event processing.
        if (CurrentConnection == rawLink_) {
            rawLink_->SetRawMode(false);
            waitMs(100);
        }
        rawLink_ = nullptr;
    }
    port = nullptr;
    ownedPort_.reset();
}

void TTransferProtocol::sendDirect(const std::string& text) {
    if (!port) {
        SendLine(text);
        return;
    }
    const std::string line = text + "@";
    char sum[4];
    std::snprintf(sum, sizeof sum, "%02X", rotatingChecksum(line.data(), line.size()));
    const std::string bytes = line + sum + "\n";
    if (debugCore().showAllCommands())
        debugCore().showLine(text);
    port->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                static_cast<int>(bytes.size()));
}

int TTransferProtocol::readPort(std::uint8_t* buffer, int count, int timeoutMs) {
    const std::uint32_t start = tickCount();
    int got = 0;
    while (got < count && !stopping()) {
        const int left = timeoutMs - static_cast<int>(ticksSince(start));
        if (left <= 0)
            break;
        got += port->ReadTimed(buffer + got, count - got, std::min(left, kSliceMs));
        uiBridge().processEvents();
    }
    return got;
}

int TTransferProtocol::blockLength() const {
    int configured = profile_.read(keys::DebugDownloadBlockSize);
    if (configured > 6)
        return std::min(configured - 6, kReplyBufferSize - 6);
    return 512 << std::clamp(blockSizeIndex_, 0, 2);
}

void TTransferProtocol::sendControl(std::uint8_t byte) {
    if (port)
        port->Write(&byte, 1);
    else if (CurrentConnection)
        CurrentConnection->Write(&byte, 1);
}

bool TTransferProtocol::fail(const std::string& text) {
    errorText = text;
    view_.showBlocks(blockCount);
    view_.setStatus(text);
    view_.enableStop(false);
    sendControl(kBlockCancel);
    SetInputMode(TInputMode::Idle);
    // Message mode first, or the parallel link would not read the answer.
    leaveRaw();
    // A receiver whose transfer had already ended (the line dropped it) takes the '#' for the
    // start of a comment line: the line feed closes that line, so the "%%" is answered.
    SendAndWait("\n%%", kCommandMs);
    return false;
}

bool TTransferProtocol::Download(FileAccess& access, const std::string& name, bool fastLink) {
    fastLink_ = fastLink;
    const bool ok = download(access, name);
    leaveRaw();
    return ok;
}

bool TTransferProtocol::failEarly(const std::string& text) {
    errorText = text;
    view_.setStatus(text);
    return false;
}

bool TTransferProtocol::openSeparatePort() {
    if (portName.empty() || ownedPort_)
        return true;
    UseFastWriteByte = profile_.read(keys::DownloadUseFastWriteByte);
    ownedPort_ = std::make_unique<TParallelPort>(portName);
    if (std::string error = ownedPort_->ErrorText(); !error.empty()) {
        ownedPort_.reset();
        return failEarly(error);
    }
    port = ownedPort_.get();
    port->ClearAbort();
    return true;
}

void TTransferProtocol::resetCounters() {
    timedOut = false;
    blockCount = 0;
    retryCount = 0;
    errorText.clear();
    speedKBps = 0;
    view_.setProgress(-1);
    view_.setStatus(" Initializing...");
    SetInputMode(TInputMode::Idle);
}

// "##" ends whatever line the receiver was in the middle of; "%%" must then be answered.
bool TTransferProtocol::receiverReady() {
    return CurrentConnection && SendAndWait("##\n%%\n", kCommandMs) == TReply::RE;
}

std::int64_t TTransferProtocol::storageBlockSize() {
    std::int64_t storageBlock = 512;
    if (SendAndWait("%%print,/par/dev/blk/a/block_size", kCommandMs) == TReply::RE &&
        (!readNumber(ReplyText(7), storageBlock) || storageBlock <= 0))
        storageBlock = 512;
    return storageBlock;
}

std::string TTransferProtocol::querySize(const std::string& name, std::int64_t& size) {
    view_.setStatus(" Query file size...");
    const TReply reply = SendAndWait("%%print,\"/log/" + name + "&size\"", kCommandMs);
    if (reply == TReply::RE && readNumber(ReplyText(7), size) && size >= 0)
        return "";
    // A refusal says why ("File not found"): worth more than the bare failure.
    const std::string reason = reply == TReply::ER ? ReplyText(5) : "";
    return reason.empty() ? "Error query file size" : "Error query file size: " + reason;
}

std::string TTransferProtocol::transferCommand(const std::string& name, std::int64_t offset) const {
    const std::string file = "\"/log/" + name + "\"";
    const std::string from = "}," + std::to_string(offset);
    return length_ == 512 ? "get," + file + ":{300" + from
                          : "get," + file + ":{300," + std::to_string(length_) + from;
}

void TTransferProtocol::setTimeouts(std::int64_t storageBlock) {
    std::int64_t baud = 0;
    const int speed = readNumber(profile_.read(keys::CommBaud), baud) && baud > 0 && baud < 1 << 30
                          ? static_cast<int>(baud)
                          : 115200;
    blockTimeoutMs_ = static_cast<int>(std::int64_t(length_ + 6) * 16000 / speed) + 500;
    // The receiver seeks to the offset first; the farther from either end, the longer.
    timeoutMs =
        blockTimeoutMs_ + static_cast<int>(2 * (std::min(offset_, size_ - offset_) / storageBlock));
}

bool TTransferProtocol::requestBlocks(const std::string& command) {
    if (ownedPort_) {
        sendDirect(command);
        view_.showBlocks(0);
        return true;
    }
    // The sharing server forwards the request; its "RE" comes with the blocks.
    if (commState().connectionMode.load() == cmInternetClient)
        SendLine(command);
    else if (SendAndWait("%%" + command, timeoutMs) != TReply::RE)
        return failEarly("Can't initiate downloading");
    if (!CurrentConnection)
        return failEarly("Receiver is not ready");
    CurrentConnection->Input.Clear();
    view_.showBlocks(-1);
    return true;
}

void TTransferProtocol::startBlockPhase(const std::string& name) {
    view_.setStatus(" Start downloading...");
    SetInputMode(TInputMode::Transfer);
    view_.showRetries(0);
    view_.setStatus(" Downloading " + name + "...");
    enterRawLink();
    sendControl(kBlockNak);
    view_.setStatus(" Waiting for the 1st block ...");
}

bool TTransferProtocol::download(FileAccess& access, const std::string& name) {
    if (!openSeparatePort())
        return false;
    resetCounters();
    if (!receiverReady())
        return failEarly("Receiver is not ready");
    const std::int64_t storageBlock = storageBlockSize();
    if (std::string refused = querySize(name, size_); !refused.empty())
        return failEarly(refused);
    offset_ = access.initialSize;
    if (offset_ >= size_) {
        view_.setStatus("Nothing to download for " + name);
        view_.bytesDone(size_, size_);
        return true;
    }

    TCommState& state = commState();
    state.transferEvent.Reset();
    runningCrc_ = 0;
    received_ = 0;
    abortRequested = false;
    percent_ = static_cast<int>(offset_ * 100 / size_);
    view_.setProgress(percent_);
    view_.enableStop(true);
    length_ = blockLength();
    state.transferThreshold = length_ + 6;
    setTimeouts(storageBlock);
    startTick_ = tickCount();

    const bool parallelLink = dynamic_cast<TParallelConnection*>(CurrentConnection) != nullptr;
    if (viaPrint_ && (ownedPort_ || parallelLink))
        return viaPrint(access, name, size_, offset_);
    if (!requestBlocks(transferCommand(name, offset_)))
        return false;
    startBlockPhase(name);
    return receiveBlocks(access, name);
}

bool TTransferProtocol::receiveBlocks(FileAccess& access, const std::string& name) {
    const int wireSize = length_ + 6;
    std::vector<std::uint8_t> wire(static_cast<std::size_t>(wireSize));
    for (;;) {
        if (receiveBlock(wire.data(), wireSize) == TReceive::Failed)
            return fail(errorText);
        const TBlockInfo info = ExamineBlock(
            wire.data(), length_, static_cast<std::uint16_t>(blockCount & 0xFFFF), runningCrc_);
        switch (info.verdict) {
        case TBlockVerdict::Error:
            return fail(info.errorText);
        case TBlockVerdict::Repeated:
        case TBlockVerdict::Jumped:
            // No answer: if nothing more comes, the timeout asks again.
            view_.setStatus(info.verdict == TBlockVerdict::Repeated
                                ? "Last warning: Repeated block skipped"
                                : "Last error: Block number error");
            if (!port)
                CurrentConnection->Input.Consume(wireSize);
            continue;
        case TBlockVerdict::Odd:
            // Let the rest of whatever this is arrive before it is thrown away.
            if (!port)
                waitMs(500);
            retry("Last error: odd bytes?");
            continue;
        case TBlockVerdict::Data:
        case TBlockVerdict::Final:
            break;
        }
        answerBlock(info);
        if (!info.crcGood)
            continue;
        if (!keepBlock(access, name, wire.data(), info))
            return fail(access.errorText);
        if (info.verdict == TBlockVerdict::Final) {
            // What is still buffered must be on disk before this counts as done.
            if (!access.writeBuffered(nullptr, 0))
                return fail(access.errorText);
            return finish();
        }
    }
}

// A data or final block: counted, the progress moved on, answered with ACK or NAK.
void TTransferProtocol::answerBlock(const TBlockInfo& info) {
    if (info.crcGood)
        received_ += info.count;
    else
        view_.showRetries(++retryCount);
    const int now = static_cast<int>((offset_ + received_) * 100 / size_);
    if (now != percent_)
        view_.setProgress(percent_ = now);
    if (!port)
        CurrentConnection->Input.Clear();
    sendControl(info.crcGood ? kBlockAck : kBlockNak);
    if (!info.crcGood)
        view_.setStatus(crcErrorText(info.computedCrc, info.receivedCrc));
}

// A good block: its CRC continues the running value, its bytes go into the target.
bool TTransferProtocol::keepBlock(FileAccess& access, const std::string& name,
                                  const std::uint8_t* wire, const TBlockInfo& info) {
    runningCrc_ = info.receivedCrc;
    if (!fastLink_ || blockCount < 10 || blockCount % 10 == 0)
        view_.showBlocks(blockCount);
    ++blockCount;
    timeoutMs = blockTimeoutMs_;
    if (blockCount == 1 && retryCount != 0) {
        retryCount = 0;
        view_.showRetries(0);
        view_.setStatus(" Downloading " + name + "...");
    }
    if (!access.writeBuffered(wire + 3, info.count))
        return false;
    view_.bytesDone(offset_ + received_, size_);
    return true;
}

// One wait step for the transfer event. An Internet Client link's bytes arrive through the
// user-interface thread's sockets, so that wait keeps the events running.
static bool waitSlice(const TReceiverConnection* link, int wireSize) {
    TCommState& state = commState();
    if (link->Kind != kLinkInternetClient)
        return state.transferEvent.Wait(kSliceMs);
    const std::uint32_t start = tickCount();
    for (std::uint32_t waited = 0; waited < std::uint32_t(kSliceMs); waited = ticksSince(start)) {
        uiBridge().waitForEvents(static_cast<int>(kSliceMs - waited));
        // A link closed meanwhile is the caller's to notice.
        if (CurrentConnection != link)
            return false;
        if (link->Input.Fill() >= wireSize || state.transferEvent.Wait(0))
            return true;
    }
    return false;
}

TTransferProtocol::TReceive TTransferProtocol::receiveBlock(std::uint8_t* wire, int wireSize) {
    if (port)
        return receivePortBlock(wire, wireSize);
    TReceiverConnection* const link = CurrentConnection;
    TSharedBuffer& input = link->Input;
    const int limit = static_cast<int>((LatencyAllowance() + timeoutMs + kSliceMs - 1) / kSliceMs);
    int steps = 0;
    for (;;) {
        uiBridge().processEvents();
        if (abortRequested || view_.stopRequested()) {
            errorText = "Aborted by user!";
            return TReceive::Failed;
        }
        // The user may have disconnected from inside the event processing.
        if (CurrentConnection != link) {
            errorText = "Receiver is not ready";
            return TReceive::Failed;
        }
        // A link that reported its loss (a receiver pulled out) brings no more blocks: asking
        // again would go on for ever.
        if (!link->IsConnected() && input.Fill() < wireSize) {
            errorText = link->ErrorText().empty() ? "Receiver is not ready" : link->ErrorText();
            return TReceive::Failed;
        }
        bool whole = input.Fill() >= wireSize || waitSlice(link, wireSize);
        if (!whole && ++steps > limit) {
            // Bytes still coming in: a slow link, not a lost block.
            const int before = input.Fill();
            whole = waitSlice(link, wireSize);
            if (!whole && input.Fill() > before) {
                steps = 0;
                continue;
            }
            if (!whole) {
                timedOut = true;
                const std::uint8_t* data = input.Data();
                if (input.Fill() >= 2 && data[0] == 'E' && data[1] == 'R') {
                    errorText = receiverError(data, input.Fill());
                    return TReceive::Failed;
                }
                std::string status = blockCount == 0 ? "Last warning: Waiting for the 1st block"
                                                     : "Last error: Timeout";
                if (std::string com = CurrentConnection->ErrorText(); !com.empty()) {
                    status = "COM error: " + com;
                    CurrentConnection->ClearErrorText();
                }
                retry(status);
                steps = 0;
                continue;
            }
        }
        if (!whole || input.Fill() < wireSize)
            continue; // a wake-up from bytes of an earlier block
        std::uint8_t* data = input.LockAndGet();
        if (!data)
            continue;
        std::copy_n(data, wireSize, wire);
        input.Release();
        return TReceive::Block;
    }
}

TTransferProtocol::TReceive TTransferProtocol::receivePortBlock(std::uint8_t* wire, int wireSize) {
    for (;;) {
        std::fill_n(wire, wireSize, 0);
        const int got = readPort(wire, wireSize, timeoutMs);
        if (abortRequested) {
            errorText = "Aborted by user!";
            return TReceive::Failed;
        }
        if (got == wireSize)
            return TReceive::Block;
        timedOut = true;
        if (got >= 2 && wire[0] == 'E' && wire[1] == 'R') {
            errorText = receiverError(wire, got);
            return TReceive::Failed;
        }
        retry(blockCount == 0 ? "Last warning: Waiting for the 1st block" : "Last error: Timeout");
    }
}

void TTransferProtocol::retry(const std::string& status) {
    view_.setStatus(status);
    view_.showRetries(++retryCount);
    if (port) {
        // The raw port asks again only once the receiver is well into the file.
        if (blockCount >= 2)
            sendControl(kBlockNak);
        return;
    }
    if (CurrentConnection)
        CurrentConnection->Input.Clear();
    sendControl(kBlockNak);
}

bool TTransferProtocol::viaPrint(FileAccess& access, const std::string& name, std::int64_t size,
                                 std::int64_t offset) {
    enterRawLink();
    view_.setStatus(" Downloading " + name + "...");
    sendDirect("print,\"/log/" + name + "\":{.05}," + std::to_string(offset));
    startTick_ = tickCount();
    view_.showRetries(0);
    blockCount = 0;
    const std::int64_t wanted = size - offset;
    std::vector<std::uint8_t> chunk(16384);
    std::int64_t got = 0;
    int chunks = 0;
    int percent = -1;
    while (!stopping() && got < wanted) {
        const int n = readPort(chunk.data(),
                               static_cast<int>(std::min<std::int64_t>(16384, wanted - got)), 2000);
        if (n == 0) {
            if (chunks > 0)
                break;
            continue;
        }
        ++chunks;
        if (!access.writeBuffered(chunk.data(), n))
            return fail(access.errorText);
        got += n;
        const int now = static_cast<int>((offset + got) * 100 / size);
        if (now != percent)
            view_.setProgress(percent = now);
        view_.showBlocks(chunks - 1);
        view_.bytesDone(offset + got, size);
    }
    blockCount = static_cast<int>((got + length_ + 5) / (length_ + 6));
    if (got < wanted) {
        for (int i = 0; i < 16; ++i)
            sendControl(kBlockCancel);
        waitMs(500);
        std::uint8_t scrap[512];
        port->ClearAbort();
        while (port->ReadTimed(scrap, sizeof scrap, 200) > 0)
            uiBridge().processEvents();
    }
    if (!access.writeBuffered(nullptr, 0))
        return fail(access.errorText);
    // A cut-off stream is not a whole file, whatever the receiver meant by stopping.
    if (abortRequested)
        return fail("Aborted by user!");
    if (got < wanted)
        return fail("Only " + std::to_string(got) + " of " + std::to_string(wanted) +
                    " bytes received");
    return finish();
}

bool TTransferProtocol::finish() {
    leaveRaw();
    view_.enableStop(false);
    view_.showBlocks(blockCount);
    const std::uint32_t seconds = std::max<std::uint32_t>(1, ticksSince(startTick_) / 1000);
    speedKBps = double(blockCount) * (length_ + 6) / 1024 / seconds;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f KBps", speedKBps);
    view_.setStatus(text);
    SetInputMode(TInputMode::Idle);
    AwaitReply("RE", 1000);
    SendAndWait("%%", kCommandMs);
    return true;
}

} // namespace telvor
