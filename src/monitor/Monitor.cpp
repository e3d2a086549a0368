#include "monitor/Monitor.h"

#include "protocol/Commstate.h"
#include "settings/Profile.h"

namespace telvor {

TMonitor::TMonitor(TMonitorHost& host, TSlotSource& slotSource, TProfile* profile,
                   int historyCapacity)
    : decoder_(view_, target_), display_(decoder_, host, slotSource), plotData_(historyCapacity),
      profile_(profile) {
    decoder_.setTargetChanged([this](double lat, double lon) {
        plotData_.targetMoved(lat, lon);
        saveTarget();
        if (onTarget_)
            onTarget_();
    });
    plotData_.setModeListener([this](TInputMode mode) {
        display_.inputModeChanged(static_cast<int>(mode_), static_cast<int>(mode));
        mode_ = mode;
        if (onMode_)
            onMode_(mode);
    });
}

void TMonitor::loadTarget() {
    if (!profile_)
        return;
    target_.lat = profile_->read(keys::TargetPositionLat);
    target_.lon = profile_->read(keys::TargetPositionLon);
    target_.capture = false;
    plotData_.setTarget(target_.lat, target_.lon);
}

void TMonitor::saveTarget() {
    if (!profile_)
        return;
    profile_->write(keys::TargetPositionLat, target_.lat);
    profile_->write(keys::TargetPositionLon, target_.lon);
}

void TMonitor::attach(TCommState& state) {
    state.SetDecoderSink(&decoder_);
    state.SetPlotSink(&plotData_);
}

void TMonitor::detach(TCommState& state) {
    if (state.Decoder() == &decoder_)
        state.SetDecoderSink(nullptr);
    if (state.Plot() == &plotData_)
        state.SetPlotSink(nullptr);
}

} // namespace telvor
