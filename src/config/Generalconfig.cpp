#include "config/Generalconfig.h"

#include "config/Listnotation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace telvor {
namespace {

const ValueList kSwitchValues{"off", "on", "always"};
const ValueList kSwitchCaptions{"Off", "On", "Always"};
const ValueList kOutputValues{"off", "on"};
const ValueList kOutputCaptions{"Off", "On"};

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

TBindRow combo(std::string path, TControl& control, ValueList values, ValueList captions,
               std::string failure) {
    control.setItems(captions);
    return {.path = std::move(path),
            .kind = TBindKind::ComboBox,
            .controls = {&control},
            .values = std::move(values),
            .captions = std::move(captions),
            .failure = std::move(failure)};
}

TBindRow figure(std::string path, TControl& control) {
    return {.path = std::move(path), .kind = TBindKind::Figure, .controls = {&control}};
}

TBindRow figure(std::string path, TControl& control, double low, double high) {
    TBindRow row = figure(std::move(path), control);
    row.ranged = true;
    row.low = low;
    row.high = high;
    return row;
}

// The receiver gives the charging current in mA; the page shows amperes.
void showAmperes(TControl& edit) {
    if (IsNumber(edit.text())) {
        char text[32];
        std::snprintf(text, sizeof text, "%3.3f", std::strtod(edit.text().c_str(), nullptr) / 1000);
        edit.setText(text);
    }
    CheckRange(0.001, 5, edit);
}

} // namespace

bool HasPortAndSlotPower(const std::string& model) {
    for (const char* m : {"VORNA", "VORNA_LITE", "KESTA", "LUMIQ_E", "DARVO"})
        if (model == m)
            return true;
    return false;
}

TGeneralPage::TGeneralPage() : TConfigPage("General", ApplyButton, RefreshButton) {
    std::vector<TBindRow> rows;
    rows.push_back({.path = "/par/out/elm/cur/term",
                    .controls = {&ELMTermEdit},
                    .failure = "Can't set elevation mask for terminal",
                    .check = TTextCheck::Integer,
                    .invalid = "Invalid elevation mask for terminal"});
    rows.push_back({.path = "/par/ant/inp",
                    .kind = TBindKind::RadioSet,
                    .controls = {&AntIntRadioButton, &AntExtRadioButton, &AntAutoRadioButton},
                    .values = {"int", "ext", "auto"},
                    .failure = "Can't set antenna input mode"});
    rows.push_back(combo("/par/pwr/mode", PowerModeComboBox, {"auto", "mix", "a", "b", "ext"},
                         {"Auto", "Mix", "Battery A", "Battery B", "External"},
                         "Can't set power mode"));
    rows.push_back(combo("/par/pwr/charge/bat", ChargerModeComboBox, {"off", "a", "b", "auto"},
                         {"Off", "Charge A", "Charge B", "Auto"}, "Can't set charger mode"));
    rows.push_back(combo("/par/pwr/charge/speed", ChargerSpeedComboBox, {"normal", "fast"},
                         {"Normal", "Fast"}, "Can't set charger speed"));
    rows.push_back({.path = "/par/lpm",
                    .kind = TBindKind::CheckBox,
                    .controls = {&LPMCheckBox},
                    .failure = "Can't set Low Power Mode"});
    rows.push_back(figure("/par/ant/curinp", CurInpEdit));
    rows.push_back(figure("/par/ant/dc", DCStatEdit));
    rows.push_back(figure("/par/dev/thermo/out", TemperatureEdit, -60, 150));
    rows.push_back(figure("/par/pwr/curmode", CurPowerModeEdit));
    rows.push_back(figure("/par/pwr/charge/curbat", CurChargerModeEdit));
    rows.push_back(figure("/par/pwr/chdc", ChargerCurrentEdit));
    rows.push_back(figure("/par/pwr/ext", ExtPwrEdit, 1, 30));
    rows.push_back(figure("/par/pwr/board", OnBoardEdit, 1, 30));
    rows.push_back(figure("/par/pwr/bat/a", BatAEdit, 1, 30));
    rows.push_back(figure("/par/pwr/bat/b", BatBEdit, 1, 30));
    rows.push_back(figure("/par/pwr/charger", ChargerEdit, 1, 30));
    rows.push_back(figure("/par/pwr/extports", ExtPortsEdit, 1, 30));
    rows.push_back(combo("", PortsPowerComboBox, {}, {}, ""));
    rows.push_back(combo("", SlotsPowerComboBox, {}, {}, ""));
    for (int k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 2);
        rows.push_back(combo("/par/pwr/switch/" + n, SlotComboBoxes[k], kSwitchValues,
                             kSwitchCaptions, "Can't change slot " + n + " mode"));
    }
    setRows(std::move(rows));
    choosePowerOutputs({});
}

std::vector<TControl*> TGeneralPage::controls() {
    std::vector<TControl*> all{&ApplyButton,     &RefreshButton,    &ELMTermLabel,
                               &PowerModeLabel,  &ChargerModeLabel, &ChargerSpeedLabel,
                               &PortsPowerLabel, &SlotsPowerLabel};
    for (TControl& l : SlotLabels)
        all.push_back(&l);
    for (const TBindRow& row : rows())
        for (TControl* c : row.controls)
            all.push_back(c);
    return all;
}

const std::string& TGeneralPage::portsPath() const {
    return rows()[rows().size() - 5].path;
}

const std::string& TGeneralPage::slotsPath() const {
    return rows()[rows().size() - 4].path;
}

void TGeneralPage::choosePowerOutputs(const std::string& model) {
    std::vector<TBindRow>& rows = mutableRows();
    TBindRow& ports = rows[rows.size() - 5];
    TBindRow& slots = rows[rows.size() - 4];
    const bool named = HasPortAndSlotPower(model);
    ports.path = named ? "/par/pwr/ports" : "/par/pwr/out/ab";
    slots.path = named ? "/par/pwr/slots" : "/par/pwr/out/c";
    ports.values = slots.values = named ? kSwitchValues : kOutputValues;
    ports.captions = slots.captions = named ? kSwitchCaptions : kOutputCaptions;
    ports.failure =
        named ? "Can't set power mode on serial ports" : "Can't set power mode on ports A,B";
    slots.failure = named ? "Can't set power mode on slots" : "Can't set power mode on port C";
    PortsPowerLabel.setText(named ? "Ports :" : "Ports A,B :");
    SlotsPowerLabel.setText(named ? "Slots :" : "Port C :");
    PortsPowerComboBox.setItems(ports.captions);
    SlotsPowerComboBox.setItems(slots.captions);
}

void TGeneralPage::readRows(TParamReader& in) {
    const std::size_t outputs = rows().size() - 5;
    for (std::size_t i = 0; i < rows().size(); ++i) {
        if (i == outputs)
            choosePowerOutputs(in.print("/par/rcv/model").value_or(""));
        const TBindRow& row = rows()[i];
        readRow(in, row);
        if (row.path == "/par/ant/inp") {
            const std::string board = upper(in.print("/par/rcv/ver/board").value_or(""));
            for (const char* family : kManualAntennaBoards)
                if (board.find(family) != std::string::npos)
                    AntAutoRadioButton.setEnabled(false);
        }
        if (row.controls.front() == &ChargerCurrentEdit)
            showAmperes(ChargerCurrentEdit);
    }
}

} // namespace telvor
