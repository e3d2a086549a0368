#pragma once
// The "Advanced" page: its sheets for anti-jamming, multipath reduction, tracking loops,
// external frequency and raw-data management, each with its own Refresh and Apply; figures are
// checked against their ranges before anything is sent. No Qt.
#include "config/Page.h"
#include "config/Portsconfig.h"

#include <string>
#include <vector>

namespace telvor {

// An edit whose number must lie in [low, high]; `invalid` when it is no number (the range
// text when empty), `range` when outside, `failure` when refused.
TBindRow RangedEditRow(std::string path, TControl& edit, double low, double high, bool integer,
                       std::string invalid, std::string range, std::string failure);

class TAdvancedSheet : public TSubPageButtons, public TConfigPage {
public:
    TAdvancedSheet(const std::string& name, const std::string& prefix)
        : TSubPageButtons(prefix), TConfigPage(name, ApplyButton, RefreshButton) {}
    std::string scriptSection() const override { return "Advanced"; }
    std::vector<TControl*> controls();
};

class TAntiJammingSheet : public TAdvancedSheet {
public:
    TAntiJammingSheet();
    // Off, GPS L1/L2, GLONASS L1/L2, GPS/GLONASS L1, GPS/GLONASS L2, Auto.
    TControl AjmOffRadioButton{"AjmOffRadioButton", TControlKind::RadioButton};
    TControl AjmGpsRadioButton{"AjmGpsRadioButton", TControlKind::RadioButton};
    TControl AjmGloRadioButton{"AjmGloRadioButton", TControlKind::RadioButton};
    TControl AjmL1RadioButton{"AjmL1RadioButton", TControlKind::RadioButton};
    TControl AjmL2RadioButton{"AjmL2RadioButton", TControlKind::RadioButton};
    TControl AjmAutoRadioButton{"AjmAutoRadioButton", TControlKind::RadioButton};
};

class TMultipathSheet : public TAdvancedSheet {
public:
    TMultipathSheet();
    TControl CodeMultCheckBox{"CodeMultCheckBox", TControlKind::CheckBox};
    TControl CarrMultCheckBox{"CarrMultCheckBox", TControlKind::CheckBox};
};

class TLoopsSheet : public TAdvancedSheet {
public:
    TLoopsSheet();
    TControl PLLBandwidthEdit{"PLLBandwidthEdit", TControlKind::Edit};
    TControl PLLOrderEdit{"PLLOrderEdit", TControlKind::Edit};
    TControl GDLBandwidthEdit{"GDLBandwidthEdit", TControlKind::Edit};
    TControl CAGDLBandwidthEdit{"CAGDLBandwidthEdit", TControlKind::Edit};
    TControl AdvLoopsGdlAdaptCheckBox{"AdvLoopsGdlAdaptCheckBox", TControlKind::CheckBox};
    TControl AdvLoopsPTrackCheckBox{"AdvLoopsPTrackCheckBox", TControlKind::CheckBox};
    TControl CLPCheckBox{"CLPCheckBox", TControlKind::CheckBox};
    TControl StaticModeCheckBox{"StaticModeCheckBox", TControlKind::CheckBox};
    TControl IndBandEdit{"IndBandEdit", TControlKind::Edit};
    TControl ComBandEdit{"ComBandEdit", TControlKind::Edit};
    TControl AdvLoopsClp2CheckBox{"AdvLoopsClp2CheckBox", TControlKind::CheckBox};

    // The session's firmware version number: above 2001 the common loop may go down to 2.
    void setFirmwareVersion(int version);

protected:
    void readRows(TParamReader& in) override;
    void derive() override;

private:
    double comBandMinimum_ = 10;
    bool staticRead_ = false;
};

class TFrequencySheet : public TAdvancedSheet {
public:
    TFrequencySheet();
    TControl AdvFrqInpSourceRadioGroup{"AdvFrqInpSourceRadioGroup", TControlKind::RadioGroup};
    TControl AdvExtFrqInpValueEdit{"AdvExtFrqInpValueEdit", TControlKind::Edit};
    TControl AdvExtFrqStatusEdit{"AdvExtFrqStatusEdit", TControlKind::Edit};
    TControl AdvExtFrqAmpEdit{"AdvExtFrqAmpEdit", TControlKind::Edit};
    TControl AdvOscOffRadioButton{"AdvOscOffRadioButton", TControlKind::RadioButton};
    TControl AdvOscFrqLockRadioButton{"AdvOscFrqLockRadioButton", TControlKind::RadioButton};
    TControl AdvOscFrqTimeLockRadioButton{"AdvOscFrqTimeLockRadioButton",
                                          TControlKind::RadioButton};
};

class TRawDataSheet : public TAdvancedSheet {
public:
    TRawDataSheet();
    TControl AdvRDMMeasUpdRateEdit{"AdvRDMMeasUpdRateEdit", TControlKind::Edit};
    TControl AdvRDMCurMeasUpdRateEdit{"AdvRDMCurMeasUpdRateEdit", TControlKind::Edit};
    TControl AdvRDMPosUpdRateEdit{"AdvRDMPosUpdRateEdit", TControlKind::Edit};
    TControl AdvRDMCurPosUpdRateEdit{"AdvRDMCurPosUpdRateEdit", TControlKind::Edit};
    TControl SMIEdit{"SMIEdit", TControlKind::Edit};
    TControl DopSMIEdit{"DopSMIEdit", TControlKind::Edit};
    // Receivers whose doppler smoothing takes a method (0, 1, 2) instead of an interval.
    TControl DopSMMethodCheckBox{"DopSMMethodCheckBox", TControlKind::CheckBox};
    TControl AdvRDMIonNominalEdit{"AdvRDMIonNominalEdit", TControlKind::Edit};
    TControl AdvRDMIonMinEdit{"AdvRDMIonMinEdit", TControlKind::Edit};
};

struct TAdvancedPages {
    TAntiJammingSheet AntiJamming;
    TMultipathSheet Multipath;
    TLoopsSheet Loops;
    TFrequencySheet Frequency;
    TRawDataSheet RawData;
    std::vector<TConfigPage*> pages() {
        return {&AntiJamming, &Multipath, &Loops, &Frequency, &RawData};
    }
};

} // namespace telvor
