#pragma once
// The site and antenna parameters: their settings (section "Site"), the event records that
// carry them into the receiver's recorded data, and the rules of the site window without its
// widgets. No Qt.
#include "config/Control.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace telvor {

class TProfile;

// Identifiers shown in the antenna type list and sent as "_ANT=". Entry 0 means "not known"
// and is never sent; neither are entries above kLastSentAntennaType.
inline constexpr std::array<const char*, 24> kAntennaTypes = {
    "UNKNOWN",       "GENERIC_L1",     "GENERIC_L1L2", "GENERIC_L1L2L5", "PATCH_L1",
    "PATCH_L1L2",    "HELIX_L1",       "HELIX_L1L2",   "CHOKE_RING",     "CHOKE_RING_DOME",
    "GEODETIC_L1L2", "GEODETIC_DOME",  "REFERENCE_3D", "REFERENCE_DOME", "ROVER_POLE",
    "ROVER_COMPACT", "ROVER_INTERNAL", "MARINE_L1L2",  "MACHINE_L1L2",   "VEHICLE_L1L2",
    "SURVEY_MINI",   "SURVEY_COMPACT", "AVIATION_L1",  "TRIBAND_DOME"};
inline constexpr int kLastSentAntennaType = 20;

struct TSiteParams {
    std::string siteName = "Site";
    std::string antennaHeight = "0"; // metres, as typed
    bool slant = false;              // off: vertical height
    int status = 0;                  // 0 fixed, 1 moving
    int antennaType = 0;             // index into kAntennaTypes
    bool autoSend = true;            // appended to the command that starts logging
};

TSiteParams LoadSiteParams(const TProfile& profile);
void SaveSiteParams(TProfile& profile, const TSiteParams& site);

// The event records (site, height, status, type; each only when it has something to say)
// joined by "&&", each ending in "@" and its checksum. `withPrefix` puts "%%" before each
// record so that every reply is echoed; without it the text can follow "&&" in another line.
std::string siteEventCommand(const TSiteParams& site, bool withPrefix);
// How many records siteEventCommand builds (the replies to wait for).
int siteEventCount(const TSiteParams& site);

// Sends the records and waits 2000 ms for each reply. Empty on success, else the text for the
// status bar.
std::string SendSiteParams(const TSiteParams& site);

// "Site Configuration" without widgets. The controls keep the window's names.
class TSiteConfig {
public:
    explicit TSiteConfig(TProfile& profile);

    TControl EditSiteName{"EditSiteName", TControlKind::Edit};
    TControl EditAntenna{"EditAntenna", TControlKind::Edit};
    TControl CheckBoxTypeHeight{"CheckBoxTypeHeight", TControlKind::CheckBox};
    TControl AntennaStatusComboBox{"AntennaStatusComboBox", TControlKind::ComboBox};
    TControl AntTypeComboBox{"AntTypeComboBox", TControlKind::ComboBox};
    TControl AutoSendCheckBox{"AutoSendCheckBox", TControlKind::CheckBox};
    TControl SendButton{"SendButton", TControlKind::Button};

    std::vector<TControl*> controls();

    // Validates and stores: false keeps the window open with the reason in status().
    bool ButtonOKClick();
    // Validates, stores, sends; the outcome in status() (unchanged on success).
    bool SendButtonClick();
    // "Send to receiver" is only possible with a link open.
    void setLinkOpen(bool open) { SendButton.setEnabled(open); }

    const std::string& status() const { return status_; }
    std::function<void(const std::string&)> onStatus;
    // The values as the controls hold them.
    TSiteParams params() const;

private:
    bool validateAndStore();
    void setStatus(const std::string& text);

    TProfile& profile_;
    std::string status_;
};

} // namespace telvor
