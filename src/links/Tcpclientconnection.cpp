#include "links/Tcpclientconnection.h"

#include "protocol/Debugcore.h"
#include "protocol/Logfile.h"
#include "protocol/Tick.h"

#include <algorithm>
#include <atomic>

namespace telvor {
namespace {
std::atomic<TRemoteWriter*> gWriter{nullptr};
}

void SetRemoteWriter(TRemoteWriter* writer) {
    gWriter.store(writer);
}
TRemoteWriter* RemoteWriter() {
    return gWriter.load();
}

TTCPClientConnection::TTCPClientConnection() : TReceiverConnection(kLinkInternetClient) {}

TTCPClientConnection::~TTCPClientConnection() {
    StopThread();
    if (TRemoteWriter* writer = RemoteWriter())
        writer->Stop();
}

int TTCPClientConnection::Write(const std::uint8_t* bytes, int count) {
    logCommand(bytes, count > 0 ? count : 0);
    LastWriteTick.store(tickCount());
    TRemoteWriter* writer = RemoteWriter();
    if (!writer)
        return 0;
    if (count <= 0) {
        writer->WriteWC(bytes, 0);
        return 0;
    }
    for (int offset = 0; offset < count; offset += kPieceSize) {
        const int piece = std::min(kPieceSize, count - offset);
        if (!writer->WriteWC(bytes + offset, static_cast<std::size_t>(piece)))
            return 0;
    }
    return count;
}

void TTCPClientConnection::WaitEvent(std::uint32_t& word) {
    word = kEventData;
    WaitWake(-1);
    ResetWake();
}

} // namespace telvor
