#pragma once
// The "Rover" page: positioning modes, multi-base code differential, RTK options, the ports
// the corrections come from, and the RTK engine reset. No Qt.
#include "config/Page.h"

#include <string>
#include <vector>

namespace telvor {

// Where a rover takes its corrections from: the receiver's values and their captions.
extern const ValueList kCorrectionSourceValues;
extern const ValueList kCorrectionSourceCaptions;

class TRoverPage : public TConfigPage {
public:
    TRoverPage();

    TControl ApplyButton{"RoverApplyButton", TControlKind::Button};
    TControl RefreshButton{"RoverRefreshButton", TControlKind::Button};
    TControl RTKResetButton{"RTKResetButton", TControlKind::Button};

    TControl RoverStandAloneRadioButton{"RoverStandAloneRadioButton", TControlKind::RadioButton};
    TControl RoverDGPSRadioButton{"RoverDGPSRadioButton", TControlKind::RadioButton};
    TControl RoverRTKFloatRadioButton{"RoverRTKFloatRadioButton", TControlKind::RadioButton};
    TControl RoverRTKRadioButton{"RoverRTKRadioButton", TControlKind::RadioButton};
    TControl RoverStandaloneCheckBox{"RoverStandaloneCheckBox", TControlKind::CheckBox};
    TControl RoverDGPSCheckBox{"RoverDGPSCheckBox", TControlKind::CheckBox};
    TControl RoverRTKFloatCheckBox{"RoverRTKFloatCheckBox", TControlKind::CheckBox};
    TControl RoverRTKFixedCheckBox{"RoverRTKFixedCheckBox", TControlKind::CheckBox};
    TControl MultiBaseCheckBox{"MultiBaseCheckBox", TControlKind::CheckBox};
    TControl DiffCorNearestCheckBox{"DiffCorNearestCheckBox", TControlKind::CheckBox};
    TControl DiffCorMixCheckBox{"DiffCorMixCheckBox", TControlKind::CheckBox};
    TControl MixModeRadioGroup{"MixModeRadioGroup", TControlKind::RadioGroup};
    TControl DiffCorBestCheckBox{"DiffCorBestCheckBox", TControlKind::CheckBox};
    TControl CDCorrMaxAgeEdit{"CDCorrMaxAgeEdit", TControlKind::Edit};
    TControl IonoCorrMaxAgeEdit{"IonoCorrMaxAgeEdit", TControlKind::Edit};
    TControl UseIonCorrBox{"UseIonCorrBox", TControlKind::CheckBox};
    TControl DiffCorSourceComboBox{"DiffCorSourceComboBox", TControlKind::ComboBox};
    TControl PDModeRadioGroup{"PDModeRadioGroup", TControlKind::RadioGroup};
    TControl RTKStaticRadioButton{"RTKStaticRadioButton", TControlKind::RadioButton};
    TControl RTKDynamicRadioButton{"RTKDynamicRadioButton", TControlKind::RadioButton};
    TControl AFLevelRadioGroup{"AFLevelRadioGroup", TControlKind::RadioGroup};
    TControl CARoverCheckBox{"CARoverCheckBox", TControlKind::CheckBox};
    TControl P1RoverCheckBox{"P1RoverCheckBox", TControlKind::CheckBox};
    TControl P2RoverCheckBox{"P2RoverCheckBox", TControlKind::CheckBox};
    TControl RoverCorrPeriodEdit{"RoverCorrPeriodEdit", TControlKind::Edit};
    TControl UseOldRefCoordCheckBox{"UseOldRefCoordCheckBox", TControlKind::CheckBox};
    TControl PDDiffCorSourceComboBox{"PDDiffCorSourceComboBox", TControlKind::ComboBox};
    TControl RoverCMRSettCSpinEdit{"RoverCMRSettCSpinEdit", TControlKind::SpinEdit};

    std::vector<TControl*> controls();
    // "Reset RTK engine": its failure goes to the status bar.
    TApplyResult resetEngine(TParamSink& out, TConfigHost& host);

protected:
    void readRows(TParamReader& in) override;

private:
    TBindRow sourceRow(const std::string& path, TControl& combo, const std::string& failure);
};

} // namespace telvor
