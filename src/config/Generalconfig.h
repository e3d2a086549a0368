#pragma once
// The "General" page of the receiver configuration: elevation mask for the terminal, antenna
// input, power and charger modes, low power mode, power outputs and slots, and the read-only
// power and temperature figures. No Qt.
#include "config/Page.h"

#include <array>
#include <memory>
#include <string>

namespace telvor {

// Boards whose text (upper-cased) holds one of these cannot choose the antenna by themselves.
inline constexpr std::array<const char*, 2> kManualAntennaBoards = {"GX1", "GX2"};

class TGeneralPage : public TConfigPage {
public:
    TGeneralPage();

    TControl ApplyButton{"GeneralApplyButton", TControlKind::Button};
    TControl RefreshButton{"GeneralRefreshButton", TControlKind::Button};

    TControl ELMTermLabel{"ELMTermLabel", TControlKind::Label};
    TControl ELMTermEdit{"ELMTermEdit", TControlKind::Edit, &ELMTermLabel};
    TControl AntIntRadioButton{"AntIntRadioButton", TControlKind::RadioButton};
    TControl AntExtRadioButton{"AntExtRadioButton", TControlKind::RadioButton};
    TControl AntAutoRadioButton{"AntAutoRadioButton", TControlKind::RadioButton};
    TControl PowerModeLabel{"PowerModeLabel", TControlKind::Label};
    TControl PowerModeComboBox{"PowerModeComboBox", TControlKind::ComboBox, &PowerModeLabel};
    TControl ChargerModeLabel{"ChargerModeLabel", TControlKind::Label};
    TControl ChargerModeComboBox{"ChargerModeComboBox", TControlKind::ComboBox, &ChargerModeLabel};
    TControl ChargerSpeedLabel{"ChargerSpeedLabel", TControlKind::Label};
    TControl ChargerSpeedComboBox{"ChargerSpeedComboBox", TControlKind::ComboBox,
                                  &ChargerSpeedLabel};
    TControl LPMCheckBox{"LPMCheckBox", TControlKind::CheckBox};
    TControl PortsPowerLabel{"PortsPowerLabel", TControlKind::Label};
    TControl PortsPowerComboBox{"PortsPowerComboBox", TControlKind::ComboBox, &PortsPowerLabel};
    TControl SlotsPowerLabel{"SlotsPowerLabel", TControlKind::Label};
    TControl SlotsPowerComboBox{"SlotsPowerComboBox", TControlKind::ComboBox, &SlotsPowerLabel};
    std::array<TControl, 3> SlotLabels{{{"Slot2Label", TControlKind::Label},
                                        {"Slot3Label", TControlKind::Label},
                                        {"Slot4Label", TControlKind::Label}}};
    std::array<TControl, 3> SlotComboBoxes{
        {{"Slot2ComboBox", TControlKind::ComboBox, &SlotLabels[0]},
         {"Slot3ComboBox", TControlKind::ComboBox, &SlotLabels[1]},
         {"Slot4ComboBox", TControlKind::ComboBox, &SlotLabels[2]}}};

    // Read-only figures.
    TControl CurInpEdit{"CurInpEdit", TControlKind::Edit};
    TControl DCStatEdit{"DCStatEdit", TControlKind::Edit};
    TControl TemperatureEdit{"TemperatureEdit", TControlKind::Edit};
    TControl CurPowerModeEdit{"CurPowerModeEdit", TControlKind::Edit};
    TControl CurChargerModeEdit{"CurChargerModeEdit", TControlKind::Edit};
    TControl ChargerCurrentEdit{"ChargerCurrentEdit", TControlKind::Edit};
    TControl ExtPwrEdit{"ExtPwrEdit", TControlKind::Edit};
    TControl OnBoardEdit{"OnBoardEdit", TControlKind::Edit};
    TControl BatAEdit{"BatAEdit", TControlKind::Edit};
    TControl BatBEdit{"BatBEdit", TControlKind::Edit};
    TControl ChargerEdit{"ChargerEdit", TControlKind::Edit};
    TControl ExtPortsEdit{"ExtPortsEdit", TControlKind::Edit};

    // Every control of the page, for the window to bind.
    std::vector<TControl*> controls();
    // The power-output parameters chosen at the last Refresh.
    const std::string& portsPath() const;
    const std::string& slotsPath() const;

protected:
    void readRows(TParamReader& in) override;

private:
    void choosePowerOutputs(const std::string& model);
};

// Whether a receiver model switches its power outputs by "/par/pwr/ports" and "/par/pwr/slots".
bool HasPortAndSlotPower(const std::string& model);

} // namespace telvor
