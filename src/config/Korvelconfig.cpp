#include "config/Korvelconfig.h"

#include "config/Listnotation.h"
#include "config/Recinterval.h"

namespace telvor {

TKorvelPage::TKorvelPage() : TConfigPage("Tavrex", KorvelApplyButton, KorvelRefreshButton) {
    std::vector<TBindRow> rows;
    TBindRow interval =
        EditRow("/par/log/sc/period", KORVELEdit, "Can't set recording interval for Tavrex");
    interval.invalid = "Invalid Recording interval (Tavrex) value";
    rows.push_back(std::move(interval));
    TBindRow elm =
        EditRow("/par/out/elm/cur/log", FileELMEdit, "Can't set Elevation mask for Log file");
    elm.check = TTextCheck::Integer;
    elm.invalid = "Invalid Elevation mask for Log file ";
    rows.push_back(std::move(elm));
    TBindRow prefix =
        EditRow("/par/cmd/create/prefix", FilePrefixEdit, "Can't set file name prefix for Tavrex");
    prefix.quote = true;
    rows.push_back(std::move(prefix));
    TBindRow file = EditRow("/par/button/file", AppendFileEdit, "Can't set file name for Tavrex");
    file.quote = true;
    rows.push_back(std::move(file));
    rows.push_back(RadioGroupRow("/par/button/rot", AFRMModeRadioGroup, {"off", "on"},
                                 {"Log file", "AFRM"}, "Can't set Files Creation mode"));
    TBindRow period = EditRow("/par/log/rot/sc/period", AFRMPeriodEdit, "Can't set AFRM period");
    period.check = TTextCheck::Number;
    period.invalid = "Invalid AFRM period";
    rows.push_back(std::move(period));
    TBindRow phase = EditRow("/par/log/rot/sc/phase", AFRMPhaseEdit, "Can't set AFRM phase");
    phase.check = TTextCheck::Number;
    phase.invalid = "Invalid AFRM phase";
    rows.push_back(std::move(phase));
    rows.push_back(
        EditRow("/par/log/rot/sc/count", AFRMMaxNumEdit, "Can't set total number of AFRM files"));
    rows.push_back(
        {.path = "/par/log/rot/count", .kind = TBindKind::Figure, .controls = {&AFRMRemainEdit}});
    rows.push_back(
        CheckRow("/par/log/rot/rmold", RmOldCheckBox, "Can't set 'removing old AFRM files' mode"));
    rows.push_back(RadioGroupRow("/par/button/action", FNModeRadioGroup, {"led", "dyn"},
                                 {"LED blink mode switch", "Occupation mode switch"},
                                 "Can't set FN key mode"));
    rows.push_back(RadioGroupRow("/par/button/dyn", InitialDynModeRadioGroup, {"static", "dynamic"},
                                 {"Static", "Kinematic"},
                                 "Can't set initial post-processing mode"));
    rows.push_back(RadioGroupRow("/par/button/auto", AutoStartRadioGroup, {"off", "on", "always"},
                                 {"Off", "On", "Always"}, "Can't set auto-start mode"));
    setRows(std::move(rows));
    AFRMModeRadioGroup.onChanged = [this] {
        derive();
        apply_.setEnabled(true);
    };
}

std::vector<TControl*> TKorvelPage::controls() {
    std::vector<TControl*> all{&KorvelApplyButton, &KorvelRefreshButton, &KORVELLabel,
                               &FileELMLabel};
    for (const TBindRow& row : rows())
        for (TControl* c : row.controls)
            all.push_back(c);
    return all;
}

void TKorvelPage::readRows(TParamReader& in) {
    reader_ = &in;
    TConfigPage::readRows(in);
    rotationRead_.clear();
    for (TControl* c : {&AFRMPeriodEdit, &AFRMPhaseEdit, &AFRMMaxNumEdit})
        rotationRead_.push_back(c->enabled());
}

// The rotation settings matter only while files rotate.
void TKorvelPage::derive() {
    const bool rotating = AFRMModeRadioGroup.enabled() && AFRMModeRadioGroup.itemIndex() == 1;
    TControl* edits[] = {&AFRMPeriodEdit, &AFRMPhaseEdit, &AFRMMaxNumEdit};
    for (std::size_t i = 0; i < 3; ++i)
        edits[i]->setEnabled(rotating && i < rotationRead_.size() && rotationRead_[i]);
    AFRMRemainEdit.setEnabled(false);
}

TApplyResult TKorvelPage::writeRows(TParamSink& out, bool scripting) {
    const TBindRow& interval = rows().front();
    if (!scripting && KORVELEdit.enabled()) {
        // An interval the receiver cannot deliver goes through the wizard; nothing else is
        // written until it is settled.
        if (!reader_ || !IsNumber(KORVELEdit.text()) ||
            !CheckRecordingInterval(*reader_, out, {}, KORVELEdit))
            return {false, interval.invalid, &KORVELEdit};
    }
    return TConfigPage::writeRows(out, scripting);
}

} // namespace telvor
