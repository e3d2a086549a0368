#include "config/Positioningconfig.h"

#include "config/Datumlists.h"
#include "config/Listnotation.h"

#include <cstdlib>

namespace telvor {
namespace {

// Rows whose neighbours the page reads or writes itself.
constexpr std::size_t kModeRow = 0, kFirstSolutionRow = 1, kMeasRow = 11, kDatumRow = 12;
constexpr std::size_t kWaasRows[2] = {15, 17};

const ValueList kRaimValues{"manual", "npa", "ter", "enr"};
const ValueList kRaimCaptions{"Manual", "Non-precision", "Terminal", "En route"};

TBindRow checkBox(std::string path, TControl& box, std::string failure) {
    return {.path = std::move(path),
            .kind = TBindKind::CheckBox,
            .controls = {&box},
            .failure = std::move(failure)};
}

TBindRow radioSet(std::string path, ControlList buttons, ValueList values, std::string failure) {
    return {.path = std::move(path),
            .kind = TBindKind::RadioSet,
            .controls = std::move(buttons),
            .values = std::move(values),
            .failure = std::move(failure)};
}

void fillList(TSatList& list, const std::string& name, int count, std::string path,
              std::string writePath, std::string failure) {
    list.path = std::move(path);
    list.writePath = std::move(writePath);
    list.failure = std::move(failure);
    for (int i = 1; i <= count; ++i)
        list.boxes.push_back(
            std::make_unique<TControl>(name + std::to_string(i), TControlKind::CheckBox));
}

} // namespace

std::string TSatList::value() const {
    std::string text = "{";
    for (const auto& box : boxes)
        text += std::string(text.size() > 1 ? "," : "") + (box->checked() ? "y" : "n");
    return text + "}";
}

TWaasChannel::TWaasChannel(int channel)
    : n(std::to_string(channel)), Enable("WAASCh" + n + "EnableCheckBox", TControlKind::CheckBox),
      Waas("WAAS" + n + "SpinEdit", TControlKind::SpinEdit),
      Gps("WAASGPS" + n + "SpinEdit", TControlKind::SpinEdit),
      Mess("WAASMess" + n + "SpinEdit", TControlKind::SpinEdit),
      Never("NeverCh" + n + "RadioButton", TControlKind::RadioButton),
      Always("AlwaysCh" + n + "RadioButton", TControlKind::RadioButton),
      Only("OnlyCh" + n + "RadioButton", TControlKind::RadioButton) {
    Waas.setRange(119, 139);
    Waas.setValue(120);
    Gps.setRange(0, 33);
    Gps.setValue(1);
    Mess.setRange(-1, 100);
}

TPositioningPage::TPositioningPage() : TConfigPage("Positioning", ApplyButton, RefreshButton) {
    RAIMAlarmComboBox.setItems(kRaimCaptions);
    std::vector<TBindRow> rows;
    rows.push_back(radioSet("/par/pos/mode/cur",
                            {&PosStandAloneRadioButton, &PosDGPSRadioButton,
                             &PosRTKFloatRadioButton, &PosRTKFixedRadioButton},
                            {"sp", "cd", "pf", "pd"}, "Can't set positioning mode"));
    rows.push_back(
        checkBox("/par/pos/mode/sp", PosStandAloneCheckBox, "Can't set Standalone solution mode"));
    rows.push_back(checkBox("/par/pos/mode/cd", PosCodeDiffCheckBox,
                            "Can't set Code Differential solution mode"));
    rows.push_back(
        checkBox("/par/pos/mode/pf", PosPhaseFloatCheckBox, "Can't set Phase Float solution mode"));
    rows.push_back(
        checkBox("/par/pos/mode/pd", PosPhaseFixedCheckBox, "Can't set Phase Fixed solution mode"));
    rows.push_back({.path = "/par/pos/elm",
                    .controls = {&ELMaskEdit},
                    .failure = "Can't set Positioning Elevation mask",
                    .check = TTextCheck::Number,
                    .invalid = "Invalid Positioning Elevation mask"});
    rows.push_back({.path = "/par/pos/pdop",
                    .controls = {&PDOPPosMaskEdit},
                    .failure = "Can't set Positioning PDOP mask",
                    .check = TTextCheck::Number,
                    .invalid = "Invalid Positioning PDOP mask"});
    rows.push_back({.path = "/par/pos/sys",
                    .kind = TBindKind::CheckBoxGroup,
                    .controls = {&GPSSysCheckBox, &GLONASSSysCheckBox},
                    .failure = "Can't set Positioning System"});
    rows.push_back(
        checkBox("/par/pos/raim/mode", RAIMEnabledCheckBox, "Can't set RAIM Enabled mode"));
    rows.push_back({.path = "/par/pos/raim/al/mode",
                    .kind = TBindKind::ComboBox,
                    .controls = {&RAIMAlarmComboBox},
                    .values = kRaimValues,
                    .captions = kRaimCaptions,
                    .failure = "Can't set RAIM Alarm mode"});
    rows.push_back({.path = "/par/pos/raim/al/manual",
                    .controls = {&RAIMAlarmLimitEdit},
                    .failure = "Can't set RAIM Alarm Limit mode"});
    rows.push_back(
        radioSet("/par/pos/sp/meas",
                 {&CAUsedRadioButton, &P1UsedRadioButton, &P2UsedRadioButton, &IonoUsedRadioButton},
                 {"ca", "p1", "p2", "ionofree"}, "Can't set Used Measurements mode"));
    rows.push_back({.path = "/par/pos/datum/cur",
                    .kind = TBindKind::ComboBox,
                    .controls = {&CurDatumComboBox},
                    .failure = "Can't set current datum for position computation"});
    rows.push_back(checkBox("/par/pos/sp/iono", IonoCorrCheckBox,
                            "Can't set Ionospheric errors correction mode"));
    rows.push_back(checkBox("/par/pos/sp/tropo", TropoCorrCheckBox,
                            "Can't set Tropospheric errors correction mode"));
    for (TWaasChannel& ch : waas) {
        rows.push_back({.path = "/par/waas/" + ch.n + "/instead0",
                        .kind = TBindKind::SpinEdit,
                        .controls = {&ch.Mess},
                        .failure = "Can't set WAAS Channel " + ch.n + " message \"0\" usage"});
        rows.push_back(radioSet("/par/waas/" + ch.n + "/ion", {&ch.Never, &ch.Always, &ch.Only},
                                {"0", "1", "2"},
                                "Can't set WAAS Channel " + ch.n + " Iono Corrections usage"));
    }
    rows.push_back(checkBox("/par/waas/numb", WAASTrueNumCheckBox,
                            "Can't set \"true\" WAAS PRN numbers mode"));
    setRows(std::move(rows));

    fillList(lists[kLockGps], "GPSLock", 32, "/par/lock/gps/sat", "/par/lock/gps/sat/",
             "Can't set GPS satellites to Lock");
    fillList(lists[kUseGps], "GPSUse", 32, "/par/pos/gps/sat", "/par/pos/gps/sat/",
             "Can't set GPS satellites to Use");
    fillList(lists[kLockGloFcn], "GLOLockFcn", 24, "/par/lock/glo/fcn", "/par/lock/glo/fcn/",
             "Can't set GLONASS FCNs to Lock");
    fillList(lists[kLockGloSat], "GLOLockSlot", 24, "/par/lock/glo/sat", "/par/lock/glo/sat/",
             "Can't set GLONASS Satellites to Lock");
    fillList(lists[kUseGloFcn], "GLOUseFcn", 24, "/par/pos/glo/fcn", "/par/pos/glo/fcn",
             "Can't set GLONASS FCNs to Use");
    fillList(lists[kUseGloSat], "GLOUseSlot", 24, "/par/pos/glo/sat", "/par/pos/glo/sat",
             "Can't set GLONASS Satellites to Use");
    for (TSatList& list : lists)
        for (auto& box : list.boxes)
            box->onChanged = [this, &list] {
                list.changed = true;
                ApplyButton.setEnabled(true);
            };
    for (TWaasChannel& ch : waas) {
        for (TControl* c : {&ch.Waas, &ch.Gps})
            track(*c);
        ch.Enable.onChanged = [this, &ch] {
            showWaasEnabled(ch);
            ApplyButton.setEnabled(true);
        };
    }
}

std::vector<TControl*> TPositioningPage::controls() {
    std::vector<TControl*> all{
        &ApplyButton,      &RefreshButton,       &ELMaskLabel,     &PDOPPosMaskLabel,
        &RAIMAlarmLabel,   &RAIMAlarmLimitLabel, &CurDatumLabel,   &PosCurDatumButton,
        &GPSLockCheckBox,  &GLOLockCheckBox,     &GPSUseCheckBox,  &GLOUseCheckBox,
        &GPSAllLockButton, &GPSNoneLockButton,   &GPSAllUseButton, &GPSNoneUseButton,
        &GLOAllLockButton, &GLONoneLockButton,   &GLOAllUseButton, &GLONoneUseButton};
    for (const TBindRow& row : rows())
        for (TControl* c : row.controls)
            all.push_back(c);
    for (TWaasChannel& ch : waas)
        for (TControl* c : {&ch.Enable, &ch.Waas, &ch.Gps})
            all.push_back(c);
    for (TSatList& list : lists)
        for (auto& box : list.boxes)
            all.push_back(box.get());
    return all;
}

void TPositioningPage::setWholeList(TSatListIndex index, bool on) {
    TSatList& list = lists[index];
    if (!list.read)
        return;
    for (auto& box : list.boxes)
        box->setChecked(on);
    list.changed = true;
    ApplyButton.setEnabled(true);
}

void TPositioningPage::takeDatum(const std::string& datum) {
    if (datum == CurDatumComboBox.text())
        return;
    SelectComboText(CurDatumComboBox, datum);
    ApplyButton.setEnabled(true);
}

std::string TPositioningPage::waasValue(const TWaasChannel& ch) {
    if (!ch.Enable.checked())
        return "0";
    return std::to_string(ch.Waas.value() * 100 + ch.Gps.value());
}

void TPositioningPage::readOptions(TParamReader& in, std::size_t row) {
    if (row == kDatumRow) {
        const auto option = in.print("/par/opts/cur/_DTM");
        TBindRow& datum = mutableRows()[kDatumRow];
        if (!option) {
            datum.values.clear();
            CurDatumComboBox.setItems({});
            return;
        }
        datum.values = DatumList(*option);
        datum.captions = datum.values;
        CurDatumComboBox.setItems(datum.values);
    }
}

void TPositioningPage::readRows(TParamReader& in) {
    for (std::size_t i = 0; i < rows().size(); ++i) {
        const TBindRow& row = rows()[i];
        if (i == kWaasRows[0])
            readLists(in);
        for (std::size_t w = 0; w < 2; ++w)
            if (i == kWaasRows[w])
                readWaas(in, waas[w]);
        readOptions(in, i);
        if (i == kDatumRow && row.values.empty()) {
            // Without the datum option the receiver cannot say which datums it has.
            CurDatumComboBox.disableWithLabel();
            PosCurDatumButton.setEnabled(false);
            continue;
        }
        if (i == kDatumRow)
            readDatum(in);
        else
            readRow(in, row);
        if (i == kModeRow && !in.print("/par/pos/pd/reset")) {
            PosRTKFloatRadioButton.setEnabled(false);
            PosRTKFixedRadioButton.setEnabled(false);
        }
        // A solution the receiver does not name is one it always computes.
        if (i >= kFirstSolutionRow && i < kFirstSolutionRow + 4 && !row.controls[0]->enabled())
            row.controls[0]->setChecked(true);
        if (i == kMeasRow) {
            const auto pcode = in.print("/par/lock/pcode");
            measWritable_ = pcode && *pcode != "off";
            if (!measWritable_)
                for (TControl* c : {&P1UsedRadioButton, &P2UsedRadioButton, &IonoUsedRadioButton})
                    c->setEnabled(false);
        }
    }
    for (TSatList& list : lists)
        list.changed = false;
}

// The datum lists are longer than a value table holds: selected by their text.
void TPositioningPage::readDatum(TParamReader& in) {
    CurDatumComboBox.setItemIndex(-1);
    const auto datum = in.print("/par/pos/datum/cur");
    if (datum) {
        CurDatumComboBox.enableWithLabel();
        SelectComboText(CurDatumComboBox, *datum);
    } else {
        CurDatumComboBox.disableWithLabel();
    }
    PosCurDatumButton.setEnabled(datum.has_value());
}

void TPositioningPage::readLists(TParamReader& in) {
    for (TSatList& list : lists) {
        const auto value = in.collect(list.path);
        list.read = value.has_value();
        const auto elements = value ? ListElements(*value, 1) : std::vector<std::string>();
        for (std::size_t i = 0; i < list.boxes.size(); ++i) {
            TControl& box = *list.boxes[i];
            box.setChecked(i < elements.size() && elements[i] == "y");
            box.setEnabled(list.read);
        }
    }
    showListState();
}

void TPositioningPage::setGlonassByFcn(bool byFcn) {
    glonassByFcn = byFcn;
    showListState();
}

void TPositioningPage::showListState() {
    auto master = [](TControl& box, const TSatList& list) {
        box.setChecked(list.read);
        box.setEnabled(list.read);
    };
    master(GPSLockCheckBox, lists[kLockGps]);
    master(GPSUseCheckBox, lists[kUseGps]);
    master(GLOLockCheckBox, lists[gloLock()]);
    master(GLOUseCheckBox, lists[gloUse()]);
    GPSAllLockButton.setEnabled(lists[kLockGps].read);
    GPSNoneLockButton.setEnabled(lists[kLockGps].read);
    GPSAllUseButton.setEnabled(lists[kUseGps].read);
    GPSNoneUseButton.setEnabled(lists[kUseGps].read);
    GLOAllLockButton.setEnabled(lists[gloLock()].read);
    GLONoneLockButton.setEnabled(lists[gloLock()].read);
    GLOAllUseButton.setEnabled(lists[gloUse()].read);
    GLONoneUseButton.setEnabled(lists[gloUse()].read);
}

void TPositioningPage::readWaas(TParamReader& in, TWaasChannel& ch) {
    const auto value = in.print("/par/waas/" + ch.n + "/sat");
    if (!value || !IsInteger(*value)) {
        ch.Enable.setChecked(false);
        ch.Enable.setEnabled(false);
        ch.Waas.setValue(ch.Waas.minimum() + ch.Waas.increment());
        ch.Gps.setValue(ch.Gps.minimum() + ch.Gps.increment());
        showWaasEnabled(ch);
        return;
    }
    const long v = std::atol(value->c_str());
    ch.Enable.setEnabled(true);
    ch.Enable.setChecked(v != 0);
    if (v != 0) {
        ch.Waas.setValue(static_cast<int>(v / 100));
        ch.Gps.setValue(static_cast<int>(v % 100));
    }
    showWaasEnabled(ch);
}

void TPositioningPage::showWaasEnabled(TWaasChannel& ch) {
    const bool on = ch.Enable.enabled() && ch.Enable.checked();
    ch.Waas.setEnabled(on);
    ch.Gps.setEnabled(on);
}

TApplyResult TPositioningPage::writeRows(TParamSink& out, bool scripting) {
    for (std::size_t i = 0; i < rows().size(); ++i) {
        if (i == kWaasRows[0])
            if (TApplyResult r = writeLists(out, scripting); !r.ok)
                return r;
        for (std::size_t w = 0; w < 2; ++w)
            if (i == kWaasRows[w])
                if (TApplyResult r = writeWaas(out, waas[w]); !r.ok)
                    return r;
        if (i == kMeasRow && !measWritable_)
            continue;
        if (i == kDatumRow) {
            const std::string& datum = CurDatumComboBox.text();
            if (CurDatumComboBox.enabled() && !datum.empty() &&
                !out.set("/par/pos/datum/cur", datum))
                return {false, rows()[i].failure, &CurDatumComboBox};
            continue;
        }
        if (TApplyResult r = writeRow(out, rows()[i]); !r.ok)
            return r;
    }
    return {};
}

TApplyResult TPositioningPage::writeLists(TParamSink& out, bool scripting) {
    for (TSatList& list : lists) {
        // A saved script carries every list the receiver gave, changed or not.
        if (!list.read || !(list.changed || scripting))
            continue;
        if (!out.set(scripting ? list.path : list.writePath, list.value()))
            return {false, list.failure, list.boxes.front().get()};
    }
    return {};
}

TApplyResult TPositioningPage::writeWaas(TParamSink& out, TWaasChannel& ch) {
    if (!ch.Enable.enabled())
        return {};
    if (!out.set("/par/waas/" + ch.n + "/sat", waasValue(ch)))
        return {false, "Can't set WAAS Channel " + ch.n + " satellites", &ch.Enable};
    return {};
}

} // namespace telvor
