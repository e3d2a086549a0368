#include "app/Monitorhost.h"

#include "app/Monitorpanel.h"
#include "app/Profile.h"
#include "app/Session.h"
#include "links/Portio.h"
#include "protocol/Commstate.h"
#include "protocol/Debugcore.h"
#include "protocol/Tick.h"

#include <QApplication>

namespace telvor {

TMainMonitor::TMainMonitor(TSession& session, TProfile& profile, TMonitorPanel& panel,
                           std::function<void(bool)> setTimer)
    : session_(session), profile_(profile), panel_(panel), setTimer_(std::move(setTimer)),
      monitor_(std::make_unique<TMonitor>(*this, slots_, &profile)) {
    monitor_->loadTarget();
    monitor_->setOnInputModeChanged([this](TInputMode mode) {
        if (mode != TInputMode::Monitoring)
            panel_.hideValues();
    });
    monitor_->attach(commState());
}

TMainMonitor::~TMainMonitor() {
    monitor_->detach(commState());
}

void TMainMonitor::tick() {
    monitor_->display().tick(true);
    if (monitor_->view().revision() != shown_) {
        shown_ = monitor_->view().revision();
        panel_.render(monitor_->view());
    }
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
}

bool TMainMonitor::beepOnDisconnect() {
    return profile_.read(keys::CommBeepOnDisconnect);
}

void TMainMonitor::beep() {
    QApplication::beep();
}

void TMainMonitor::debugLine(const std::string& text) {
    debugCore().showLine(text);
}

void TMainMonitor::setTimerEnabled(bool on) {
    commState().monitorTimerOn = on;
    setTimer_(on);
}

} // namespace telvor
