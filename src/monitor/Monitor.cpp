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

bool TMonitor::targetStored() const {
    return profile_ &&
           !profile_->readString(keys::TargetPositionLat.section, keys::TargetPositionLat.name, "")
                .empty();
}

void TMonitor::loadTarget() {
    if (!profile_)
        return;
    target_.lat = profile_->read(keys::TargetPositionLat);
    target_.lon = profile_->read(keys::TargetPositionLon);
    // Never stored: the first fix becomes the target, so that the offsets and plots do not
    // measure thousands of kilometres to 0 N 0 E.
    target_.capture = !targetStored();
    plotData_.setTarget(target_.lat, target_.lon);
}

void TMonitor::saveTarget() {
    // A capture still waiting for its first fix has no target to keep.
    if (!profile_ || (target_.capture && !targetStored()))
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
