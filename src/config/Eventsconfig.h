#pragma once
// The "Events" page: the two pulse-per-second outputs and the two event inputs, each switched
// on and off as a group whose other controls only count while it is on. No Qt.
#include "config/Page.h"

#include <array>
#include <string>
#include <vector>

namespace telvor {

struct TPpsGroup {
    explicit TPpsGroup(const std::string& letter);
    TControl CheckBox, PeriodLabel, PeriodEdit, OffMsLabel, OffMsEdit, OffNsLabel, OffNsEdit,
        EdgeGroup, TimeGroup, MarkedLabel, MarkedEdit, SyncCheckBox;
};

struct TEventInput {
    explicit TEventInput(const std::string& letter);
    TControl CheckBox, EdgeGroup, TimeGroup, ClkSyncCheckBox, ClkStatLabel, ClkStatEdit,
        SyncCheckBox, RepeatButton;
};

class TEventsPage : public TConfigPage {
public:
    TEventsPage();

    TControl ApplyButton{"EventsApplyButton", TControlKind::Button};
    TControl RefreshButton{"EventsRefreshButton", TControlKind::Button};
    std::array<TPpsGroup, 2> pps{TPpsGroup("A"), TPpsGroup("B")};
    std::array<TEventInput, 2> events{TEventInput("A"), TEventInput("B")};

    std::vector<TControl*> controls();
    // "Repeat Synchronization" of event input 0 (A) or 1 (B).
    TApplyResult repeatSync(int input, TParamReader& in, TParamSink& out, TConfigHost& host);

protected:
    void readRows(TParamReader& in) override;
    void derive() override;
    TApplyResult writeRows(TParamSink& out, bool scripting) override;

private:
    struct TGroup {
        std::size_t first, end; // rows; the first is the group's "Enabled" box
        TControl* repeat;       // an event input's "Repeat Synchronization", or null
        TControl* clockSync;
    };
    void applyEnabling(const TGroup& group);

    std::vector<TGroup> groups_;
    std::vector<bool> available_; // per row: read at the last Refresh
};

} // namespace telvor
