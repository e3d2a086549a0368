#include "app/Mainmonitor.h"

#include "app/Session.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Debugcore.h"
#include "protocol/Tick.h"
#include "settings/Profile.h"

namespace telvor {

TMainMonitor::TMainMonitor(TSession& session, TProfile& profile, THooks hooks)
    : session_(session), profile_(profile), hooks_(std::move(hooks)),
      monitor_(std::make_unique<TMonitor>(*this, slotSource_, &profile)) {
    monitor_->loadTarget();
    monitor_->attach(commState());
}

TMainMonitor::~TMainMonitor() {
    monitor_->detach(commState());
}

TMonitorDisplay::TTick TMainMonitor::tick() {
    TMonitorDisplay::TTick result = monitor_->display().tick(true);
    showView();
    return result;
}

void TMainMonitor::showView() {
    if (monitor_->view().revision() == shown_)
        return;
    shown_ = monitor_->view().revision();
    if (hooks_.render)
        hooks_.render(monitor_->view());
}

void TMainMonitor::sessionStarted() {
    monitor_->plotData().resetPositions();
    monitor_->plotData().resetSatellites();
}

bool TMainMonitor::hasLink() {
    return CurrentConnection != nullptr;
}

bool TMainMonitor::directConnection() {
    return session_.settings().mode == cmDirect;
}

std::uint32_t TMainMonitor::silenceMs() {
    return CurrentConnection ? ticksSince(CurrentConnection->LastWriteTick.load()) : 0;
}

void TMainMonitor::reconnect() {
    if (CurrentConnection)
        CurrentConnection->Reconnect(1);
}

void TMainMonitor::disconnect() {
    CloseReceiverConnection();
    session_.disconnect();
    if (!lost_.empty())
        session_.showStatus("Link lost: " + lost_);
}

std::string TMainMonitor::linkLost() {
    TReceiverConnection* link = CurrentConnection;
    if (!link || link->IsConnected())
        return {};
    lost_ = link->LostReason();
    return lost_;
}

bool TMainMonitor::beepOnDisconnect() {
    return profile_.read(keys::CommBeepOnDisconnect);
}

void TMainMonitor::beep() {
    if (hooks_.beep)
        hooks_.beep();
}

void TMainMonitor::debugLine(const std::string& text) {
    debugCore().showLine(text);
}

void TMainMonitor::setTimerEnabled(bool on) {
    commState().monitorTimerOn = on;
    if (hooks_.setTimer)
        hooks_.setTimer(on);
}

} // namespace telvor
