#include "config/Roverconfig.h"

#include "config/Listnotation.h"

#include <cstdlib>

namespace telvor {

const ValueList kCorrectionSourceValues{"any",        "/dev/ser/a", "/dev/ser/b",
                                        "/dev/ser/c", "/dev/ser/d", "/dev/modem/a"};
const ValueList kCorrectionSourceCaptions{"Any",      "Serial A", "Serial B",
                                          "Serial C", "Serial D", "Modem"};

TRoverPage::TRoverPage() : TConfigPage("Rover", ApplyButton, RefreshButton) {
    std::vector<TBindRow> rows;
    TBindRow mode = GroupRow("/par/pos/mode/cur", TBindKind::RadioSet,
                             {&RoverStandAloneRadioButton, &RoverDGPSRadioButton,
                              &RoverRTKFloatRadioButton, &RoverRTKRadioButton},
                             "Can't set rover positioning mode");
    mode.values = {"sp", "cd", "pf", "pd"};
    rows.push_back(std::move(mode));
    rows.push_back(CheckRow("/par/pos/mode/sp", RoverStandaloneCheckBox,
                            "Can't set Standalone solution mode"));
    rows.push_back(CheckRow("/par/pos/mode/cd", RoverDGPSCheckBox,
                            "Can't set Code Differential solution mode"));
    rows.push_back(
        CheckRow("/par/pos/mode/pf", RoverRTKFloatCheckBox, "Can't set Phase Float solution mode"));
    rows.push_back(
        CheckRow("/par/pos/mode/pd", RoverRTKFixedCheckBox, "Can't set Phase Fixed solution mode"));
    rows.push_back(CheckRow("/par/pos/cd/mult/mode", MultiBaseCheckBox,
                            "Can't switch multi-base code differential mode"));
    rows.push_back(CheckRow("/par/pos/cd/mult/nearest", DiffCorNearestCheckBox,
                            "Can't set Nearest differential corrections usage"));
    rows.push_back(CheckRow("/par/pos/cd/mult/mix", DiffCorMixCheckBox,
                            "Can't set Mix differential corrections usage"));
    rows.push_back(RadioGroupRow("/par/pos/cd/mult/mixmode", MixModeRadioGroup, {"cor", "pos"},
                                 {"Corrections", "Positions"},
                                 "Can't set Mix differential positioning usage"));
    rows.push_back(CheckRow("/par/pos/cd/mult/best", DiffCorBestCheckBox,
                            "Can't set Best differential corrections usage"));
    rows.push_back(EditRow("/par/pos/cd/maxage", CDCorrMaxAgeEdit, "Can't send RTCM max. age"));
    rows.push_back(
        EditRow("/par/pos/cd/iono/maxage", IonoCorrMaxAgeEdit, "Can't send Iono max. age"));
    rows.push_back(
        CheckRow("/par/pos/cd/ionofree", UseIonCorrBox, "Can't set iono correction usage"));
    rows.push_back(sourceRow("/par/pos/cd/port", DiffCorSourceComboBox, "Can't set  DGPS port "));
    rows.push_back(RadioGroupRow("/par/pos/pd/mode", PDModeRadioGroup, {"extrap", "delay"},
                                 {"Extrapolation", "Delay"}, "Can't set RTK mode"));
    TBindRow dyn{.path = "/par/pos/pd/dyn",
                 .kind = TBindKind::Custom,
                 .controls = {&RTKStaticRadioButton, &RTKDynamicRadioButton}};
    dyn.read = [this](TParamReader& in) {
        const auto value = in.print("/par/pos/pd/dyn");
        const bool number = value && IsNumber(*value);
        const bool moving = number && std::strtod(value->c_str(), nullptr) != 0;
        RTKStaticRadioButton.setChecked(number && !moving);
        RTKDynamicRadioButton.setChecked(moving);
        for (TControl* c : {&RTKStaticRadioButton, &RTKDynamicRadioButton})
            number ? c->enableWithLabel() : c->disableWithLabel();
    };
    dyn.write = [this](TParamSink& out) -> TApplyResult {
        const bool moving = RTKDynamicRadioButton.checked();
        if (!RTKStaticRadioButton.enabled() || (!moving && !RTKStaticRadioButton.checked()))
            return {};
        if (out.set("/par/pos/pd/dyn", moving ? "1.0" : "0.0"))
            return {};
        return {false, moving ? "Can't set dynamic RTK" : "Can't set static RTK",
                moving ? &RTKDynamicRadioButton : &RTKStaticRadioButton};
    };
    rows.push_back(std::move(dyn));
    rows.push_back(RadioGroupRow("/par/pos/pd/aflevel", AFLevelRadioGroup,
                                 {"low", "medium", "high"}, {"Low", "Medium", "High"},
                                 "Can't set ambiguity fixing level"));
    rows.push_back(
        CheckRow("/par/pos/pd/meas/ca", CARoverCheckBox, "Can't set CA measurements usage"));
    rows.push_back(
        CheckRow("/par/pos/pd/meas/p1", P1RoverCheckBox, "Can't set P1 measurements usage"));
    rows.push_back(
        CheckRow("/par/pos/pd/meas/p2", P2RoverCheckBox, "Can't set P2 measurements usage"));
    rows.push_back(
        EditRow("/par/pos/pd/period", RoverCorrPeriodEdit, "Can't set Correction update interval"));
    rows.push_back(CheckRow("/par/pos/pd/ref/keep", UseOldRefCoordCheckBox,
                            "Can't set Usage old Ref. Coordinates mode"));
    rows.push_back(sourceRow("/par/pos/pd/port", PDDiffCorSourceComboBox,
                             "Can't set  Phase differential port "));
    RoverCMRSettCSpinEdit.setRange(-1, 256);
    rows.push_back({.path = "/par/cmr/rover/glo/type",
                    .kind = TBindKind::SpinEdit,
                    .controls = {&RoverCMRSettCSpinEdit},
                    .failure = "Can't set Rover CMR GLONASS message type"});
    setRows(std::move(rows));
}

// The failure names the source that was refused.
TBindRow TRoverPage::sourceRow(const std::string& path, TControl& combo,
                               const std::string& failure) {
    TBindRow row = ComboRow(path, combo, kCorrectionSourceValues, kCorrectionSourceCaptions, {});
    row.kind = TBindKind::Custom;
    row.read = [path, &combo](TParamReader& in) {
        ReadComboBox(in, path, kCorrectionSourceValues, combo, kCorrectionSourceCaptions);
    };
    row.write = [path, &combo, failure](TParamSink& out) -> TApplyResult {
        if (WriteComboBox(out, path, kCorrectionSourceValues, combo, kCorrectionSourceCaptions))
            return {};
        return {false, failure + combo.text(), &combo};
    };
    return row;
}

std::vector<TControl*> TRoverPage::controls() {
    std::vector<TControl*> all{&ApplyButton, &RefreshButton, &RTKResetButton};
    for (const TBindRow& row : rows())
        for (TControl* c : row.controls)
            all.push_back(c);
    return all;
}

void TRoverPage::readRows(TParamReader& in) {
    TConfigPage::readRows(in);
    RTKResetButton.setEnabled(in.print("/par/pos/pd/reset").has_value());
}

TApplyResult TRoverPage::resetEngine(TParamSink& out, TConfigHost& host) {
    if (out.set("/par/pos/pd/reset", "on"))
        return {};
    host.setStatus("Can't reset RTK engine");
    return {false, "Can't reset RTK engine", &RTKResetButton};
}

} // namespace telvor
