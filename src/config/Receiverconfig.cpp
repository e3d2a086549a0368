#include "config/Receiverconfig.h"

#include "settings/Profile.h"
#include "settings/Settingskeys.h"

#include <utility>

namespace telvor {

TReceiverConfig::TReceiverConfig(TConfigHost& host) : host_(host) {
    mirrorModes();
}

void TReceiverConfig::mirrorModes() {
    TPositioningPage& p = Positioning;
    TRoverPage& r = Rover;
    const std::pair<TControl*, TControl*> twins[] = {
        {&p.PosStandAloneRadioButton, &r.RoverStandAloneRadioButton},
        {&p.PosDGPSRadioButton, &r.RoverDGPSRadioButton},
        {&p.PosRTKFloatRadioButton, &r.RoverRTKFloatRadioButton},
        {&p.PosRTKFixedRadioButton, &r.RoverRTKRadioButton},
        {&p.PosStandAloneCheckBox, &r.RoverStandaloneCheckBox},
        {&p.PosCodeDiffCheckBox, &r.RoverDGPSCheckBox},
        {&p.PosPhaseFloatCheckBox, &r.RoverRTKFloatCheckBox},
        {&p.PosPhaseFixedCheckBox, &r.RoverRTKFixedCheckBox}};
    for (const auto& [pos, rover] : twins) {
        mirror(*pos, p, *rover, r, r.ApplyButton);
        mirror(*rover, r, *pos, p, p.ApplyButton);
    }
}

void TReceiverConfig::mirror(TControl& from, const TConfigPage& fromPage, TControl& to,
                             const TConfigPage& toPage, TControl& toApply) {
    std::function<void()> tracked = std::move(from.onChanged);
    from.onChanged = [this, tracked, &from, &fromPage, &to, &toPage, &toApply] {
        if (tracked)
            tracked();
        // A Refresh reads the same parameter into both pages by itself.
        if (mirroring_ || fromPage.refreshing() || toPage.refreshing() ||
            to.checked() == from.checked())
            return;
        mirroring_ = true;
        to.setChecked(from.checked());
        // The other page now holds the user's choice too: its Apply takes this page's state.
        toApply.setEnabled(true);
        mirroring_ = false;
    };
}

void TReceiverConfig::refreshAll(TParamReader& in) {
    TWaitScope wait(host_, kQueryingText);
    for (TConfigPage* page : pages())
        page->refresh(in, host_);
}

bool TReceiverConfig::ok(TParamSink& out) {
    TWaitScope wait(host_, kSendingText);
    for (TConfigPage* page : pages())
        if (!page->apply(out, host_).ok)
            return false;
    return true;
}

bool TReceiverConfig::pendingChanges() {
    for (TConfigPage* page : pages())
        if (page->available() && page->changed())
            return true;
    return false;
}

std::string TReceiverConfig::exitQuestion() {
    return pendingChanges() ? kExitUnapplied : std::string();
}

void TReceiverConfig::loadSettings(const TProfile& profile) {
    Base.setAtOneTime(profile.read(keys::BaseGPSGLNAtOneTime));
}

bool TReceiverConfig::storeDefaultsChoice(TProfile& profile) const {
    return profile.write(keys::BaseGPSGLNAtOneTime, Base.atOneTime());
}

} // namespace telvor
