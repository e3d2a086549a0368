#pragma once
// The front-panel page (caption "Tavrex"): recording interval, log elevation mask, file name
// prefix and append file, automatic file rotation (AFRM), the FN key and recording auto-start.
// No Qt.
#include "config/Page.h"

#include <string>
#include <vector>

namespace telvor {

class TKorvelPage : public TConfigPage {
public:
    TKorvelPage();

    TControl KorvelApplyButton{"KorvelApplyButton", TControlKind::Button};
    TControl KorvelRefreshButton{"KorvelRefreshButton", TControlKind::Button};

    TControl KORVELLabel{"KORVELLabel", TControlKind::Label};
    TControl KORVELEdit{"KORVELEdit", TControlKind::Edit, &KORVELLabel};
    TControl FileELMLabel{"FileELMLabel", TControlKind::Label};
    TControl FileELMEdit{"FileELMEdit", TControlKind::Edit, &FileELMLabel};
    TControl FilePrefixEdit{"FilePrefixEdit", TControlKind::Edit};
    TControl AppendFileEdit{"AppendFileEdit", TControlKind::Edit};
    TControl AFRMModeRadioGroup{"AFRMModeRadioGroup", TControlKind::RadioGroup};
    TControl AFRMPeriodEdit{"AFRMPeriodEdit", TControlKind::Edit};
    TControl AFRMPhaseEdit{"AFRMPhaseEdit", TControlKind::Edit};
    TControl AFRMMaxNumEdit{"AFRMMaxNumEdit", TControlKind::Edit};
    TControl AFRMRemainEdit{"AFRMRemainEdit", TControlKind::Edit};
    TControl RmOldCheckBox{"RmOldCheckBox", TControlKind::CheckBox};
    TControl FNModeRadioGroup{"FNModeRadioGroup", TControlKind::RadioGroup};
    TControl InitialDynModeRadioGroup{"InitialDynModeRadioGroup", TControlKind::RadioGroup};
    TControl AutoStartRadioGroup{"AutoStartRadioGroup", TControlKind::RadioGroup};

    std::vector<TControl*> controls();

protected:
    void readRows(TParamReader& in) override;
    void derive() override;
    TApplyResult writeRows(TParamSink& out, bool scripting) override;

private:
    // The interval check asks the receiver; it is the one the page was refreshed from.
    TParamReader* reader_ = nullptr;
    std::vector<bool> rotationRead_;
};

} // namespace telvor
