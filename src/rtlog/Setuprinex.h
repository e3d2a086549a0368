#pragma once
// "Converter to RINEX Setup" without widgets: the converter program, its options and the
// RINEX header texts the converter finds in the settings file. No Qt.
#include "config/Control.h"

#include <functional>
#include <string>
#include <vector>

namespace telvor {

class TProfile;

// The converter the dialog offers when none is set: the installed telvor-vxr2rin.
std::string defaultConverterPath(const TProfile& profile);
// A path with a "/" must name a regular file; a bare name may also be found on PATH.
bool converterExists(const std::string& application);

class TSetupRINEX {
public:
    explicit TSetupRINEX(TProfile& profile);

    TControl RunByEdit{"RunByEdit", TControlKind::Edit};
    TControl ObserverEdit{"ObserverEdit", TControlKind::Edit};
    TControl AgencyEdit{"AgencyEdit", TControlKind::Edit};
    TControl AntennaNoEdit{"AntennaNoEdit", TControlKind::Edit};
    TControl AntennaTypeEdit{"AntennaTypeEdit", TControlKind::Edit};
    TControl CommentEdit{"CommentEdit", TControlKind::Edit};
    TControl MarkerNameEdit{"MarkerNameEdit", TControlKind::Edit};
    TControl MarkerNumberEdit{"MarkerNumberEdit", TControlKind::Edit};
    TControl ApplicationEdit{"ApplicationEdit", TControlKind::Edit};
    TControl OptionsEdit{"OptionsEdit", TControlKind::Edit};
    TControl DeleteVXRCheckBox{"DeleteVXRCheckBox", TControlKind::CheckBox};
    TControl NoGPSCheckBox{"NoGPSCheckBox", TControlKind::CheckBox};
    TControl NoGLOCheckBox{"NoGLOCheckBox", TControlKind::CheckBox};
    TControl NoL1CheckBox{"NoL1CheckBox", TControlKind::CheckBox};
    TControl NoL2CheckBox{"NoL2CheckBox", TControlKind::CheckBox};

    std::vector<TControl*> controls();

    // Checks and stores every key; false keeps the dialog open after the error box.
    bool ButtonOKClick();

    // The error box, caption "RINEX Converter".
    std::function<void(const std::string&)> onError;

private:
    void error(const std::string& text);

    TProfile& profile_;
};

} // namespace telvor
