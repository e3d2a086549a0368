#pragma once
// The rules of the receiver configuration window without the window: its pages in their
// order, one wait window for the first refresh of all of them, OK applying the changed pages
// until one fails, the positioning modes the Positioning and Rover pages share, the question
// before Exit drops changes. No Qt.
#include "config/Advancedconfig.h"
#include "config/Attitudeconfig.h"
#include "config/Baseconfig.h"
#include "config/Eventsconfig.h"
#include "config/Generalconfig.h"
#include "config/Korvelconfig.h"
#include "config/Messagesconfig.h"
#include "config/Portsconfig.h"
#include "config/Positioningconfig.h"
#include "config/Roverconfig.h"

#include <string>
#include <vector>

namespace telvor {

class TProfile;

// Asked before Exit drops changes no page has applied.
inline constexpr const char* kExitUnapplied =
    "One or more parameter were changed but not applied.\nExit without applying the changes?";

class TReceiverConfig {
public:
    explicit TReceiverConfig(TConfigHost& host);
    TReceiverConfig(const TReceiverConfig&) = delete;
    TReceiverConfig& operator=(const TReceiverConfig&) = delete;

    TGeneralPage General;
    TKorvelPage Tavrex;
    TPositioningPage Positioning;
    TAttitudePage Attitude;
    TBasePage Base;
    TRoverPage Rover;
    TPortsPages Ports;
    TEventsPage Events;
    TMessagesPage MessGeneral{"MessGen", " General ", nullptr};
    TMessagesPage MessVXR{"MessVXR", "  VXR ", nullptr};
    // Refreshed and applied by its own buttons only.
    TMessagesPage MessNMEA{"MessNMEA", " NMEA ", nullptr};
    TAdvancedPages Advanced;

    // The pages in refresh and apply order; later pages join as they are built.
    std::vector<TConfigPage*> pages() {
        std::vector<TConfigPage*> all{&General, &Tavrex, &Positioning, &Attitude, &Base, &Rover};
        for (TConfigPage* p : Ports.pages())
            all.push_back(p);
        all.insert(all.end(), {&Events, &MessGeneral, &MessVXR});
        for (TConfigPage* p : Advanced.pages())
            all.push_back(p);
        return all;
    }

    void refreshAll(TParamReader& in);
    // True when every changed page was written (the window then closes); otherwise the
    // failing page is shown with its text in the status bar.
    bool ok(TParamSink& out);
    // Some page holds changes not yet applied.
    bool pendingChanges();
    // Exit: the question to ask before changes are dropped; empty when nothing would be lost.
    std::string exitQuestion();

    // The window settings the pages start from ("Base"/"GPSGLNAtOneTime").
    void loadSettings(const TProfile& profile);
    // "Set all parameters to defaults" keeps the "GPS/GLO at one time" choice for the next
    // opening (the receiver's initialisation is the main window's); false when it could not
    // be written.
    bool storeDefaultsChoice(TProfile& profile) const;

private:
    // Both pages bind the positioning mode and the solution modes: a change the user makes
    // on one shows on the other, so neither writes back a value the user left behind.
    void mirrorModes();
    void mirror(TControl& from, const TConfigPage& fromPage, TControl& to,
                const TConfigPage& toPage, TControl& toApply);

    TConfigHost& host_;
    bool mirroring_ = false;
};

} // namespace telvor
