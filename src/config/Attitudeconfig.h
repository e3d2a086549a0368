#pragma once
// The "Attitude" page: the receiver's heading settings, shown and never written. No Qt.
#include "config/Page.h"

namespace telvor {

class TAttitudePage : public TConfigPage {
public:
    TAttitudePage();

    TControl ApplyButton{"AttitudeApplyButton", TControlKind::Button};
    TControl RefreshButton{"AttitudeRefreshButton", TControlKind::Button};
    TControl HeadingModeCheckBox{"HeadingModeCheckBox", TControlKind::CheckBox};
    TControl FixedBaseLineCheckBox{"FixedBaseLineCheckBox", TControlKind::CheckBox};
    TControl FixedBaselineLabel{"FixedBaselineLabel", TControlKind::Label};
    TControl FixedBaselineEdit{"FixedBaselineEdit", TControlKind::Edit, &FixedBaselineLabel};

    std::vector<TControl*> controls();
    std::string scriptSection() const override { return {}; }

protected:
    TApplyResult writeRows(TParamSink&, bool) override { return {}; }
};

} // namespace telvor
