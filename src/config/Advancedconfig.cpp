#include "config/Advancedconfig.h"

#include "config/Listnotation.h"

#include <cstdio>
#include <cstdlib>

namespace telvor {
namespace {

const ValueList kAjmValues{"off", "gps", "glo", "l1", "l2", "auto"};

std::string figureText(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

TBindRow figureRow(std::string path, TControl& edit) {
    return {.path = std::move(path), .kind = TBindKind::Figure, .controls = {&edit}};
}

TBindRow checkValueRow(std::string path, TControl& box, std::string failure) {
    TBindRow row = CheckRow(std::move(path), box, std::move(failure));
    row.kind = TBindKind::CheckBoxValue;
    row.onValue = "mpnew";
    row.offValue = "normal";
    return row;
}

} // namespace

TBindRow RangedEditRow(std::string path, TControl& edit, double low, double high, bool integer,
                       std::string invalid, std::string range, std::string failure) {
    TBindRow row{.path = path, .kind = TBindKind::Custom, .controls = {&edit}};
    row.read = [path, &edit](TParamReader& in) { ReadEdit(in, path, edit); };
    row.write = [=, &edit](TParamSink& out) -> TApplyResult {
        if (!edit.enabled())
            return {};
        const std::string& text = edit.text();
        if (!(integer ? IsInteger(text) : IsNumber(text)))
            return {false, invalid.empty() ? range : invalid, &edit};
        const double v = std::strtod(text.c_str(), nullptr);
        if (v < low || v > high)
            return {false, range, &edit};
        if (!WriteEdit(out, path, edit))
            return {false, failure, &edit};
        return {};
    };
    return row;
}

std::vector<TControl*> TAdvancedSheet::controls() {
    std::vector<TControl*> all{&ApplyButton, &RefreshButton};
    for (const TBindRow& row : rows())
        for (TControl* c : row.controls)
            all.push_back(c);
    return all;
}

TAntiJammingSheet::TAntiJammingSheet() : TAdvancedSheet("AdvAjm", "AdvAjm") {
    const ControlList buttons{&AjmOffRadioButton, &AjmGpsRadioButton, &AjmGloRadioButton,
                              &AjmL1RadioButton,  &AjmL2RadioButton,  &AjmAutoRadioButton};
    TBindRow row{.path = "/par/ajm/mode",
                 .kind = TBindKind::Custom,
                 .controls = buttons,
                 .failure = "Can't set Anti-Jamming mode"};
    // "susp" (jamming suppressed for now) is off for the user; writing Off sends "off".
    row.read = [buttons](TParamReader& in) {
        const auto value = in.print("/par/ajm/mode");
        const std::string v = value && *value == "susp" ? "off" : value.value_or("");
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            buttons[i]->setChecked(value && kAjmValues[i] == v);
            value ? buttons[i]->enableWithLabel() : buttons[i]->disableWithLabel();
        }
    };
    row.write = [buttons](TParamSink& out) -> TApplyResult {
        if (WriteRadioSet(out, "/par/ajm/mode", buttons, kAjmValues))
            return {};
        return {false, "Can't set Anti-Jamming mode", buttons.front()};
    };
    setRows({std::move(row)});
}

TMultipathSheet::TMultipathSheet() : TAdvancedSheet("AdvMultipath", "AdvMp") {
    setRows({checkValueRow("/par/raw/corr/ca/code", CodeMultCheckBox,
                           "Can't set Code multipath reduction mode"),
             checkValueRow("/par/raw/corr/ca/carrier", CarrMultCheckBox,
                           "Can't set Carrier multipath reduction mode")});
}

TLoopsSheet::TLoopsSheet() : TAdvancedSheet("AdvLoops", "AdvLoops") {
    std::vector<TBindRow> rows;
    rows.push_back(RangedEditRow(
        "/par/raw/pll/band", PLLBandwidthEdit, 2, 50, false, "Invalid value for PLL bandwidth",
        "Value out of range (2 .. 50) for PLL bandwidth", "Can't set PLL bandwidth value"));
    rows.push_back(RangedEditRow("/par/raw/pll/order", PLLOrderEdit, 2, 3, true,
                                 "Invalid value for PLL order", "Invalid value for PLL order",
                                 "Can't set PLL order value"));
    rows.push_back(RangedEditRow(
        "/par/raw/gdl/band", GDLBandwidthEdit, 0.1, 10, false, "Invalid value for GDL bandwidth",
        "Value out of range ( 0.1 .. 10.0 ) for GDL bandwidth", "Can't set GDL bandwidth value"));
    rows.push_back(RangedEditRow("/par/raw/cagdl/band", CAGDLBandwidthEdit, 0.1, 50, false,
                                 "Invalid value for  C/A code GDL bandwidth",
                                 "Value out of range (0.1 .. 50.0) for  C/A code GDL bandwidth",
                                 "Can't send value for C/A code GDL bandwidth"));
    rows.push_back(CheckRow("/par/raw/gdl/adapt", AdvLoopsGdlAdaptCheckBox,
                            "Can't enable/disable adaptive guided loops"));
    rows.push_back(CheckRow("/par/lock/pcode", AdvLoopsPTrackCheckBox,
                            "Can't enable/disable P/L1 and P/L2 tracking"));
    rows.push_back(
        CheckRow("/par/raw/clp/loops", CLPCheckBox, "Can't enable/disable common loop mode"));
    rows.push_back(CheckRow("/par/raw/clp/static", StaticModeCheckBox, "Can't set static mode"));
    rows.push_back(RangedEditRow("/par/raw/clp/indband", IndBandEdit, 2, 20, false,
                                 "Invalid value for individual PLL bandwidth",
                                 "Value out of range (2.0 .. 20.0) for individual PLL bandwidth",
                                 "Can't set individual PLL bandwidth value"));
    rows.push_back({}); // the common loop, built by setFirmwareVersion
    rows.push_back(CheckRow("/par/raw/clp2/loop", AdvLoopsClp2CheckBox,
                            "Can't enable/disable L2 common loop"));
    setRows(std::move(rows));
    setFirmwareVersion(0);
    CLPCheckBox.onChanged = [this] {
        derive();
        apply_.setEnabled(true);
    };
}

void TLoopsSheet::setFirmwareVersion(int version) {
    comBandMinimum_ = version > 2001 ? 2 : 10;
    const std::string range = "Value out of range (" + figureText(comBandMinimum_) + " .. " +
                              figureText(50) + ") for common PLL bandwidth";
    TBindRow& row = mutableRows()[9];
    row = RangedEditRow("/par/raw/clp/comband", ComBandEdit, comBandMinimum_, 50, false,
                        "Invalid value for common PLL bandwidth", range,
                        "Can't set common PLL bandwidth value");
    track(ComBandEdit);
}

void TLoopsSheet::readRows(TParamReader& in) {
    TConfigPage::readRows(in);
    staticRead_ = StaticModeCheckBox.enabled();
}

// The static mode belongs to the common loops.
void TLoopsSheet::derive() {
    const bool on = CLPCheckBox.enabled() && CLPCheckBox.checked();
    StaticModeCheckBox.setEnabled(on && staticRead_);
}

TFrequencySheet::TFrequencySheet() : TAdvancedSheet("AdvFrq", "AdvFrq") {
    std::vector<TBindRow> rows;
    rows.push_back(RadioGroupRow("/par/frq/input", AdvFrqInpSourceRadioGroup, {"int", "ext"},
                                 {"Internal", "External"}, "Can't set frequency source"));
    rows.push_back(RangedEditRow("/par/frq/ext", AdvExtFrqInpValueEdit, 2, 40, false, {},
                                 "Value out of range (2 .. 40) for external frequency",
                                 "Can't set external frequency value"));
    rows.push_back(figureRow("/par/frq/stat", AdvExtFrqStatusEdit));
    rows.push_back(figureRow("/par/frq/amp", AdvExtFrqAmpEdit));
    TBindRow osc =
        GroupRow("/par/osc/mode", TBindKind::RadioSet,
                 {&AdvOscOffRadioButton, &AdvOscFrqLockRadioButton, &AdvOscFrqTimeLockRadioButton},
                 "Can't set oscillator offsets reduction mode");
    osc.values = {"off", "locked", "tied"};
    rows.push_back(std::move(osc));
    setRows(std::move(rows));
}

TRawDataSheet::TRawDataSheet() : TAdvancedSheet("AdvRDM", "AdvRDM") {
    std::vector<TBindRow> rows;
    rows.push_back(RangedEditRow("/par/raw/msint", AdvRDMMeasUpdRateEdit, 10, 5000, true, {},
                                 "Value out of range (10 .. 5000) for raw measurements update rate",
                                 "Can't set raw measurements update rate"));
    rows.push_back(figureRow("/par/raw/curmsint", AdvRDMCurMeasUpdRateEdit));
    rows.push_back(RangedEditRow("/par/pos/msint", AdvRDMPosUpdRateEdit, 10, 5000, true, {},
                                 "Value out of range (10 .. 5000) for position update rate",
                                 "Can't set position update rate"));
    rows.push_back(figureRow("/par/pos/curmsint", AdvRDMCurPosUpdRateEdit));
    rows.push_back(RangedEditRow("/par/raw/smi", SMIEdit, 0, 900, true, {},
                                 "Value out of range (0 .. 900) for code smooth interval",
                                 "Can't set code smooth interval"));
    // One parameter, two meanings: the box tells which this receiver's firmware takes.
    const TBindRow interval =
        RangedEditRow("/par/raw/dopp/smi", DopSMIEdit, 0, 10, false,
                      "Invalid value for doppler smoothing interval",
                      "Value out of range (0.0 .. 10.0) for doppler smoothing interval",
                      "Can't set doppler smoothing interval");
    const TBindRow method = RangedEditRow("/par/raw/dopp/smi", DopSMIEdit, 0, 2, true,
                                          "Invalid value for doppler smoothing method",
                                          "Value out of range [0,1,2] for doppler smoothing method",
                                          "Can't set doppler smoothing method");
    TBindRow doppler = interval;
    doppler.controls.push_back(&DopSMMethodCheckBox);
    doppler.write = [this, interval, method](TParamSink& out) {
        return (DopSMMethodCheckBox.checked() ? method : interval).write(out);
    };
    rows.push_back(std::move(doppler));
    rows.push_back(RangedEditRow("/par/raw/iono/smi", AdvRDMIonNominalEdit, 0, 900, true, {},
                                 "Value out of range (0 .. 900) for iono nominal interval",
                                 "Can't set iono nominal interval"));
    rows.push_back(RangedEditRow("/par/raw/iono/minsmi", AdvRDMIonMinEdit, 0, 900, true, {},
                                 "Value out of range (0 .. 900) for minimum iomo interval",
                                 "Can't set minimum iomo interval"));
    setRows(std::move(rows));
}

} // namespace telvor
