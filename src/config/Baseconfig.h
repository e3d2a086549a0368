#pragma once
// The "Base" page: reference position (GPS and GLONASS, each with its datum), averaging,
// antenna offsets and the RTCM and CMR base settings. No Qt.
#include "config/Page.h"

#include <optional>
#include <string>
#include <vector>

namespace telvor {

// The controls of one reference position, named with the sheet's suffix ("" or "GLN").
class TRefPosition {
public:
    TRefPosition(const std::string& datumName, const std::string& suffix);

    TControl Datum, LatHemisphere, LatD, LatM, LatS, LonHemisphere, LonD, LonM, LonS, Alt;
    // Read at the last refresh: only then is it written back.
    bool read = false;

    std::vector<TControl*> controls();
    // "{W84,N55d45m12.3s,E037d37m0.1s,150.0}"; false when the text is no position.
    bool show(const std::string& value);
    std::string text() const;
    void setEnabled(bool on);
};

// Splits "N55d45m12.3456s" into hemisphere, degrees, minutes and seconds.
struct TAngleText {
    char hemisphere = 0;
    std::string degrees, minutes, seconds;
};
std::optional<TAngleText> ParseAngleText(const std::string& text);

class TBasePage : public TConfigPage {
public:
    TBasePage();

    TControl ApplyButton{"BaseApplyButton", TControlKind::Button};
    TControl RefreshButton{"BaseRefreshButton", TControlKind::Button};

    TControl AvrgModeCheckBox{"AvrgModeCheckBox", TControlKind::CheckBox};
    TControl AvrgModeEdit{"AvrgModeEdit", TControlKind::Edit};
    TRefPosition Gps{"BaseGPSDatumComboBox", ""};
    TRefPosition Gln{"BaseGLNDatumComboBox", "GLN"};
    TControl GPSGLNAtOneTimeRadioButton{"GPSGLNAtOneTimeRadioButton", TControlKind::RadioButton};
    TControl GPSGLNSeparatelyRadioButton{"GPSGLNSeparatelyRadioButton", TControlKind::RadioButton};
    TControl BaseEastOffsEdit{"BaseEastOffsEdit", TControlKind::Edit};
    TControl BaseNorthOffsEdit{"BaseNorthOffsEdit", TControlKind::Edit};
    TControl BaseHeightOffsEdit{"BaseHeightOffsEdit", TControlKind::Edit};
    TControl BaseStidEdit{"BaseStidEdit", TControlKind::Edit};
    TControl MaxSatsEdit{"MaxSatsEdit", TControlKind::Edit};
    TControl BaseRTCMHealthComboBox{"BaseRTCMHealthComboBox", TControlKind::ComboBox};
    TControl CABaseCheckBox{"CABaseCheckBox", TControlKind::CheckBox};
    TControl P1BaseCheckBox{"P1BaseCheckBox", TControlKind::CheckBox};
    TControl P2BaseCheckBox{"P2BaseCheckBox", TControlKind::CheckBox};
    TControl BaseRTCMGPSCheckBox{"BaseRTCMGPSCheckBox", TControlKind::CheckBox};
    TControl BaseRTCMGLOCheckBox{"BaseRTCMGLOCheckBox", TControlKind::CheckBox};
    TControl PRSmoothCheckBox{"PRSmoothCheckBox", TControlKind::CheckBox};
    TControl BaseCMRStatIDEdit{"BaseCMRStatIDEdit", TControlKind::Edit};
    TControl BaseCMRMotionComboBox{"BaseCMRMotionComboBox", TControlKind::ComboBox};
    TControl BaseCMRMeasCARadioButton{"BaseCMRMeasCARadioButton", TControlKind::RadioButton};
    TControl BaseCMRMeasP1RadioButton{"BaseCMRMeasP1RadioButton", TControlKind::RadioButton};
    TControl BaseCMRMeasP2CheckBox{"BaseCMRMeasP2CheckBox", TControlKind::CheckBox};
    TControl BaseCMRSettCSpinEdit{"BaseCMRSettCSpinEdit", TControlKind::SpinEdit};
    TControl BaseCMRStatShortIDEdit{"BaseCMRStatShortIDEdit", TControlKind::Edit};
    TControl BaseCMRCOGOEdit{"BaseCMRCOGOEdit", TControlKind::Edit};
    TControl BaseCMRStatLongIDEdit{"BaseCMRStatLongIDEdit", TControlKind::Edit};

    std::vector<TControl*> controls();
    // The window setting "Base"/"GPSGLNAtOneTime": one position for both systems.
    bool atOneTime() const { return GPSGLNAtOneTimeRadioButton.checked(); }
    void setAtOneTime(bool on);

private:
    void readPosition(TParamReader& in, TRefPosition& position, const std::string& path);
    TApplyResult writePosition(TParamSink& out, const TRefPosition& position,
                               const std::string& path);
};

} // namespace telvor
