#include "rtlog/Targetsource.h"

#include "links/Portio.h"
#include "monitor/Plotdata.h"
#include "protocol/Bridge.h"
#include "protocol/Commstate.h"
#include "protocol/Commtools.h"

namespace telvor {
namespace {

bool messagesSplit() {
    TInputMode mode = commState().inputMode.load();
    return mode == TInputMode::Monitoring || mode == TInputMode::Logging;
}

} // namespace

bool TLinkPositionSource::linkOpen() {
    return CurrentConnection != nullptr;
}

bool TLinkPositionSource::monitoring() {
    return commState().inputMode.load() == TInputMode::Monitoring;
}

void TLinkPositionSource::clearInput() {
    seen_ = data_.lastFix().sequence;
    if (TReceiverConnection* link = CurrentConnection)
        link->Input.Clear();
}

void TLinkPositionSource::sendLine(const std::string& line) {
    seen_ = data_.lastFix().sequence;
    SendLine(line);
}

std::optional<TLatLon> TLinkPositionSource::awaitPosition(int timeoutMs) {
    if (messagesSplit())
        return awaitNewFix(data_, seen_, timeoutMs, [] { uiBridge().processEvents(); });
    if (!AwaitReply("PG", timeoutMs))
        return std::nullopt;
    TReceiverConnection* link = CurrentConnection;
    if (!link)
        return std::nullopt;
    std::optional<TLatLon> position;
    if (std::uint8_t* bytes = link->Input.LockAndGet()) {
        int length = link->Input.FrontMessage();
        if (length > 0)
            position = positionOfPg(bytes, static_cast<std::size_t>(length));
        link->Input.Consume(length);
        link->Input.Release();
    }
    return position;
}

} // namespace telvor
