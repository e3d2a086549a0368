#pragma once
// The monitor as one piece, for the main window and telvor-cli: the view, the target point,
// the decoders, the display tick and the plot store, wired so that a target change (captured,
// typed, or moved to the average) re-bases the plot store and is saved at once.
#include "monitor/Displaytick.h"
#include "monitor/Monitorstate.h"
#include "monitor/Parsers.h"
#include "monitor/Plotdata.h"
#include "monitor/Target.h"

#include <functional>

namespace telvor {

class TProfile;
class TCommState;

class TMonitor {
public:
    // `profile` may be null (no persistence); it must outlive the monitor.
    TMonitor(TMonitorHost& host, TSlotSource& slotSource, TProfile* profile,
             int historyCapacity = TPlotData::kMinCapacity);
    TMonitor(const TMonitor&) = delete;
    TMonitor& operator=(const TMonitor&) = delete;

    TMonitorView& view() { return view_; }
    TTargetPoint& target() { return target_; }
    TMonitorDecoder& decoder() { return decoder_; }
    TMonitorDisplay& display() { return display_; }
    TPlotData& plotData() { return plotData_; }

    // "TargetPosition"/"Lat", "Lon" into the target and the plot store (no re-basing); with
    // none ever stored, the capture is armed and nothing is saved until a fix arrives.
    void loadTarget();
    void saveTarget();
    // A typed target (target position window) or one moved to the scatter average.
    void setTarget(double lat, double lon) { decoder_.setTarget(lat, lon); }
    // After the store has re-based its history: the scatter plot redraws.
    void setOnTargetChanged(std::function<void()> listener) { onTarget_ = std::move(listener); }

    // Input-mode changes reach the monitor through the plot store: leaving monitoring resets
    // the display, then `listener` (the plot windows) hears the new mode.
    void setOnInputModeChanged(std::function<void(TInputMode)> listener) {
        onMode_ = std::move(listener);
    }

    // The input thread's hand-offs: almanac and event notes to the decoder, every message to
    // the plot store.
    void attach(TCommState& state);
    void detach(TCommState& state);

private:
    bool targetStored() const;

    TMonitorView view_;
    TTargetPoint target_;
    TMonitorDecoder decoder_;
    TMonitorDisplay display_;
    TPlotData plotData_;
    TProfile* profile_;
    std::function<void()> onTarget_;
    std::function<void(TInputMode)> onMode_;
    TInputMode mode_ = TInputMode::Idle;
};

} // namespace telvor
