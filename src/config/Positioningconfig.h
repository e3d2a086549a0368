#pragma once
// The "Positioning" page: positioning mode and solutions, masks, systems, RAIM, measurements,
// datum, corrections, the GPS and GLONASS satellites to track and to use, and the two WAAS
// channels. No Qt.
#include "config/Page.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace telvor {

// One satellite list parameter ("y"/"n" per satellite) and the boxes that show it.
struct TSatList {
    std::string path;      // read, and written by a saved script
    std::string writePath; // written by Apply (the receiver takes the lists with a slash)
    std::string failure;
    std::vector<std::unique_ptr<TControl>> boxes;
    bool read = false;         // the receiver has the list; otherwise it is never written
    bool changed = false;      // since the last Refresh
    std::string value() const; // "{y,n,...}"
};

enum TSatListIndex { kLockGps, kUseGps, kLockGloFcn, kLockGloSat, kUseGloFcn, kUseGloSat };

struct TWaasChannel {
    explicit TWaasChannel(int n);
    std::string n;
    TControl Enable, Waas, Gps, Mess, Never, Always, Only;
};

class TPositioningPage : public TConfigPage {
public:
    TPositioningPage();

    TControl ApplyButton{"PosApplyButton", TControlKind::Button};
    TControl RefreshButton{"PosRefreshButton", TControlKind::Button};

    TControl PosStandAloneRadioButton{"PosStandAloneRadioButton", TControlKind::RadioButton};
    TControl PosDGPSRadioButton{"PosDGPSRadioButton", TControlKind::RadioButton};
    TControl PosRTKFloatRadioButton{"PosRTKFloatRadioButton", TControlKind::RadioButton};
    TControl PosRTKFixedRadioButton{"PosRTKFixedRadioButton", TControlKind::RadioButton};
    TControl PosStandAloneCheckBox{"PosStandAloneCheckBox", TControlKind::CheckBox};
    TControl PosCodeDiffCheckBox{"PosCodeDiffCheckBox", TControlKind::CheckBox};
    TControl PosPhaseFloatCheckBox{"PosPhaseFloatCheckBox", TControlKind::CheckBox};
    TControl PosPhaseFixedCheckBox{"PosPhaseFixedCheckBox", TControlKind::CheckBox};
    TControl ELMaskLabel{"ELMaskLabel", TControlKind::Label};
    TControl ELMaskEdit{"ELMaskEdit", TControlKind::Edit, &ELMaskLabel};
    TControl PDOPPosMaskLabel{"PDOPPosMaskLabel", TControlKind::Label};
    TControl PDOPPosMaskEdit{"PDOPPosMaskEdit", TControlKind::Edit, &PDOPPosMaskLabel};
    TControl GPSSysCheckBox{"GPSSysCheckBox", TControlKind::CheckBox};
    TControl GLONASSSysCheckBox{"GLONASSSysCheckBox", TControlKind::CheckBox};
    TControl RAIMEnabledCheckBox{"RAIMEnabledCheckBox", TControlKind::CheckBox};
    TControl RAIMAlarmLabel{"RAIMAlarmLabel", TControlKind::Label};
    TControl RAIMAlarmComboBox{"RAIMAlarmComboBox", TControlKind::ComboBox, &RAIMAlarmLabel};
    TControl RAIMAlarmLimitLabel{"RAIMAlarmLimitLabel", TControlKind::Label};
    TControl RAIMAlarmLimitEdit{"RAIMAlarmLimitEdit", TControlKind::Edit, &RAIMAlarmLimitLabel};
    TControl CAUsedRadioButton{"CAUsedRadioButton", TControlKind::RadioButton};
    TControl P1UsedRadioButton{"P1UsedRadioButton", TControlKind::RadioButton};
    TControl P2UsedRadioButton{"P2UsedRadioButton", TControlKind::RadioButton};
    TControl IonoUsedRadioButton{"IonoUsedRadioButton", TControlKind::RadioButton};
    TControl CurDatumLabel{"CurDatumLabel", TControlKind::Label};
    TControl CurDatumComboBox{"CurDatumComboBox", TControlKind::ComboBox, &CurDatumLabel};
    TControl PosCurDatumButton{"PosCurDatumButton", TControlKind::Button};
    TControl IonoCorrCheckBox{"IonoCorrCheckBox", TControlKind::CheckBox};
    TControl TropoCorrCheckBox{"TropoCorrCheckBox", TControlKind::CheckBox};
    TControl WAASTrueNumCheckBox{"WAASTrueNumCheckBox", TControlKind::CheckBox};

    // The master boxes of "Satellites tracked " and "Satellites used in pos.", and the
    // buttons that tick or clear a whole list.
    TControl GPSLockCheckBox{"GPSLockCheckBox", TControlKind::CheckBox};
    TControl GLOLockCheckBox{"GLOLockCheckBox", TControlKind::CheckBox};
    TControl GPSUseCheckBox{"GPSUseCheckBox", TControlKind::CheckBox};
    TControl GLOUseCheckBox{"GLOUseCheckBox", TControlKind::CheckBox};
    TControl GPSAllLockButton{"GPSAllLockButton", TControlKind::Button};
    TControl GPSNoneLockButton{"GPSNoneLockButton", TControlKind::Button};
    TControl GPSAllUseButton{"GPSAllUseButton", TControlKind::Button};
    TControl GPSNoneUseButton{"GPSNoneUseButton", TControlKind::Button};
    TControl GLOAllLockButton{"GLOAllLockButton", TControlKind::Button};
    TControl GLONoneLockButton{"GLONoneLockButton", TControlKind::Button};
    TControl GLOAllUseButton{"GLOAllUseButton", TControlKind::Button};
    TControl GLONoneUseButton{"GLONoneUseButton", TControlKind::Button};

    std::array<TSatList, 6> lists;
    std::array<TWaasChannel, 2> waas{TWaasChannel(1), TWaasChannel(2)};

    // "GLOEnumeration"/"FCN": the GLONASS boxes show frequency channels (true) or slots.
    bool glonassByFcn = true;

    std::vector<TControl*> controls();
    // The user's "All to lock" and the like: `list` ticked or cleared and marked changed;
    // nothing for a list the receiver did not give.
    void setWholeList(TSatListIndex list, bool on);
    // The GLONASS list of the numbering shown.
    TSatListIndex gloLock() const { return glonassByFcn ? kLockGloFcn : kLockGloSat; }
    TSatListIndex gloUse() const { return glonassByFcn ? kUseGloFcn : kUseGloSat; }
    // Shows the GLONASS lists of one numbering; the others keep their flags.
    void setGlonassByFcn(bool byFcn);
    // The datum chosen in the datum window: selected here and Apply enabled.
    void takeDatum(const std::string& datum);
    // The value a WAAS channel writes: PRN x 100 + GPS number, 0 when the channel is off.
    static std::string waasValue(const TWaasChannel& ch);

protected:
    void readRows(TParamReader& in) override;
    TApplyResult writeRows(TParamSink& out, bool scripting) override;

private:
    void readOptions(TParamReader& in, std::size_t row);
    void readDatum(TParamReader& in);
    void readLists(TParamReader& in);
    void showListState();
    void readWaas(TParamReader& in, TWaasChannel& ch);
    void showWaasEnabled(TWaasChannel& ch);
    TApplyResult writeLists(TParamSink& out, bool scripting);
    TApplyResult writeWaas(TParamSink& out, TWaasChannel& ch);

    bool measWritable_ = true;
};

} // namespace telvor
