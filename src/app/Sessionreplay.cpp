// The session on a recording: the replay link in place of a receiver, monitoring at once.
#include "app/Appinfo.h"
#include "app/Session.h"
#include "links/Portio.h"
#include "links/Replayconnection.h"
#include "protocol/Commstate.h"
#include "protocol/Logfile.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace telvor {

bool TSession::replaying() const {
    return CurrentReplay() != nullptr;
}

bool TSession::openRecording(const std::string& path) {
    if (busy_)
        return false;
    if (connected())
        disconnect();
    lastError_.clear();
    commState().monitorTimerOn = false;
    view_.setMonitorTimer(false);
    SetInputMode(TInputMode::Idle);
    // Never handed to a sharing client: a recording is not the receiver it serves.
    commState().connectionMode = cmDirect;

    std::string error = OpenReplayConnection(path);
    if (!error.empty()) {
        CloseReceiverConnection();
        lastError_ = error;
        setStatus(error);
        return false;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    identity_ = {};
    replayMenus();
    view_.setStatusPanel("Replay " + name);
    setStatus("");
    view_.setTitle(std::string(kAppTitle) + " - " + name, " " + name);
    view_.sessionStarted();
    connectStartMs_ = 0;
    SetInputMode(TInputMode::Monitoring);
    commState().monitorTimerOn = true;
    view_.setMonitorTimer(true);
    logLine("Replaying " + path);
    return true;
}

// The windows that need a receiver stay on offer, so that they can say why they do not open.
void TSession::replayMenus() {
    connectedMenus();
    view_.enableItem(TMenuItem::Connect, true);
}

bool TSession::refuseWhileReplaying(TMenuItem item) {
    static const TMenuItem kNeedReceiver[] = {
        TMenuItem::ManualMode,     TMenuItem::RealTimeLogging, TMenuItem::FileManager,
        TMenuItem::InitFileSystem, TMenuItem::ClearNvram,      TMenuItem::ResetReceiver,
        TMenuItem::ReceiverConfig, TMenuItem::Radio,           TMenuItem::About};
    if (!replaying() || std::find(std::begin(kNeedReceiver), std::end(kNeedReceiver), item) ==
                            std::end(kNeedReceiver))
        return false;
    view_.messageBox(kAppTitle, kNotWhileReplaying, TBoxButtons::Ok, TBoxIcon::Information);
    return true;
}

} // namespace telvor
