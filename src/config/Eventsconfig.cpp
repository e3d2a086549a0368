#include "config/Eventsconfig.h"

#include <cctype>

namespace telvor {
namespace {

const ValueList kEdgeValues{"rise", "fall"};
const ValueList kEdgeCaptions{"Rise", "Fall"};
const ValueList kTimeValues{"gps", "glo", "utcusno", "utcsu"};
const ValueList kTimeCaptions{"GPS", "GLO", "UTCus", "UTCsu"};

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TBindRow box(std::string path, TControl& c, std::string failure) {
    return {.path = std::move(path),
            .kind = TBindKind::CheckBox,
            .controls = {&c},
            .failure = std::move(failure)};
}

TBindRow edit(std::string path, TControl& c, std::string failure, std::string invalid) {
    return {.path = std::move(path),
            .controls = {&c},
            .failure = std::move(failure),
            .check = TTextCheck::Number,
            .invalid = std::move(invalid)};
}

TBindRow radios(std::string path, TControl& c, const ValueList& values, std::string failure) {
    return {.path = std::move(path),
            .kind = TBindKind::RadioGroup,
            .controls = {&c},
            .values = values,
            .failure = std::move(failure)};
}

} // namespace

TPpsGroup::TPpsGroup(const std::string& X)
    : CheckBox("PPS" + X + "CheckBox", TControlKind::CheckBox),
      PeriodLabel("PPS" + X + "PeriodLabel", TControlKind::Label),
      PeriodEdit("PPS" + X + "PeriodEdit", TControlKind::Edit, &PeriodLabel),
      OffMsLabel("PPS" + X + "OffMsLabel", TControlKind::Label),
      OffMsEdit("PPS" + X + "OffMsEdit", TControlKind::Edit, &OffMsLabel),
      OffNsLabel("PPS" + X + "OffNsLabel", TControlKind::Label),
      OffNsEdit("PPS" + X + "OffNsEdit", TControlKind::Edit, &OffNsLabel),
      EdgeGroup("PPS" + X + "RadioGroup", TControlKind::RadioGroup),
      TimeGroup("PPSTime" + X + "RadioGroup", TControlKind::RadioGroup),
      MarkedLabel("PPS" + X + "MarkedPeriodLabel", TControlKind::Label),
      MarkedEdit("PPS" + X + "MarkedPeriodEdit", TControlKind::Edit, &MarkedLabel),
      SyncCheckBox("PPS" + X + "SyncCheckBox", TControlKind::CheckBox) {
    EdgeGroup.setItems(kEdgeCaptions);
    TimeGroup.setItems(kTimeCaptions);
}

TEventInput::TEventInput(const std::string& X)
    : CheckBox("Event" + X + "CheckBox", TControlKind::CheckBox),
      EdgeGroup("Event" + X + "RadioGroup", TControlKind::RadioGroup),
      TimeGroup("EventTime" + X + "RadioGroup", TControlKind::RadioGroup),
      ClkSyncCheckBox("Ev" + X + "ClkSyncCheckBox", TControlKind::CheckBox),
      ClkStatLabel("Ev" + X + "ClkStatLabel", TControlKind::Label),
      ClkStatEdit("Ev" + X + "ClkStatEdit", TControlKind::Edit, &ClkStatLabel),
      SyncCheckBox("Ev" + X + "SyncCheckBox", TControlKind::CheckBox),
      RepeatButton("Ev" + X + "RepeatButton", TControlKind::Button) {
    EdgeGroup.setItems(kEdgeCaptions);
    TimeGroup.setItems(kTimeCaptions);
}

TEventsPage::TEventsPage() : TConfigPage("Events", ApplyButton, RefreshButton) {
    std::vector<TBindRow> rows;
    for (TPpsGroup& g : pps) {
        const std::string X = g.CheckBox.name().substr(3, 1), x = lower(X);
        const std::string base = "/par/dev/pps/" + x + "/";
        const std::size_t first = rows.size();
        rows.push_back(box(base + "out", g.CheckBox, "Can't enable/disable PPS " + X));
        rows.push_back(edit(base + "per/ms", g.PeriodEdit, "Can't set PPS " + X + " period",
                            "Invalid PPS " + X + " period"));
        rows.push_back(edit(base + "offs/ms", g.OffMsEdit,
                            "Can't set PPS " + X + " offset in milliseconds",
                            "Invalid PPS " + X + " offset in milliseconds"));
        rows.push_back(edit(base + "offs/ns", g.OffNsEdit,
                            "Can't set PPS " + X + " offset in nanoseconds",
                            "Invalid PPS " + X + " offset in nanoseconds"));
        rows.push_back(
            radios(base + "edge", g.EdgeGroup, kEdgeValues, "Can't set PPS " + X + " edge"));
        rows.push_back(radios(base + "time", g.TimeGroup, kTimeValues,
                              "Can't set PPS " + X + " reference time"));
        rows.push_back(edit(base + "mper", g.MarkedEdit,
                            X == "A" ? "Can't set period of 'marked' PPS A pulses"
                                     : "Can't set  'marked' PPS B pulses",
                            "Invalid period of 'marked' PPS " + X + " pulses"));
        rows.push_back(box(base + "tied", g.SyncCheckBox, "Can't set PPS " + X + " tied mode"));
        groups_.push_back({first, rows.size(), nullptr, nullptr});
    }
    for (TEventInput& e : events) {
        const std::string X = e.CheckBox.name().substr(5, 1), x = lower(X);
        const std::string base = "/par/dev/event/" + x + "/";
        const std::size_t first = rows.size();
        rows.push_back(box(base + "in", e.CheckBox, "Can't enable/disable Event " + X));
        rows.push_back(
            radios(base + "edge", e.EdgeGroup, kEdgeValues, "Can't set Event " + X + " edge"));
        rows.push_back(radios(base + "time", e.TimeGroup, kTimeValues,
                              "Can't set Event " + X + " reference time"));
        rows.push_back(box(base + "lock", e.ClkSyncCheckBox,
                           "Can't set clock synchronization with Event " + X));
        rows.push_back(
            {.path = base + "locked", .kind = TBindKind::Figure, .controls = {&e.ClkStatEdit}});
        rows.push_back(box(base + "tied", e.SyncCheckBox, "Can't set Event " + X + " tied mode"));
        groups_.push_back({first, rows.size(), &e.RepeatButton, &e.ClkSyncCheckBox});
    }
    setRows(std::move(rows));
    available_.assign(this->rows().size(), true);
    for (const TGroup& g : groups_) {
        this->rows()[g.first].controls[0]->onChanged = [this, &g] {
            applyEnabling(g);
            ApplyButton.setEnabled(true);
        };
        if (g.clockSync)
            g.clockSync->onChanged = [this, &g] {
                applyEnabling(g);
                ApplyButton.setEnabled(true);
            };
    }
}

std::vector<TControl*> TEventsPage::controls() {
    std::vector<TControl*> all{&ApplyButton, &RefreshButton};
    for (TPpsGroup& g : pps)
        for (TControl* l : {&g.PeriodLabel, &g.OffMsLabel, &g.OffNsLabel, &g.MarkedLabel})
            all.push_back(l);
    for (TEventInput& e : events)
        for (TControl* c : {&e.ClkStatLabel, &e.RepeatButton})
            all.push_back(c);
    for (const TBindRow& row : rows())
        all.push_back(row.controls[0]);
    return all;
}

void TEventsPage::readRows(TParamReader& in) {
    for (const TGroup& g : groups_) {
        const TBindRow& enabled = rows()[g.first];
        readRow(in, enabled);
        available_[g.first] = enabled.controls[0]->enabled();
        for (std::size_t i = g.first + 1; i < g.end; ++i) {
            TControl& c = *rows()[i].controls[0];
            if (!available_[g.first]) {
                // The receiver lacks the whole output or input: nothing more is asked.
                c.setText({});
                c.setChecked(false);
                c.setItemIndex(-1);
                c.disableWithLabel();
                available_[i] = false;
                continue;
            }
            readRow(in, rows()[i]);
            available_[i] = c.enabled();
        }
    }
}

void TEventsPage::derive() {
    for (const TGroup& g : groups_)
        applyEnabling(g);
}

void TEventsPage::applyEnabling(const TGroup& g) {
    TControl& enabled = *rows()[g.first].controls[0];
    const bool on = enabled.enabled() && enabled.checked();
    for (std::size_t i = g.first + 1; i < g.end; ++i) {
        TControl& c = *rows()[i].controls[0];
        // The synchronisation status is the receiver's to say, never the user's.
        if (on && available_[i] && rows()[i].kind != TBindKind::Figure)
            c.enableWithLabel();
        else
            c.disableWithLabel();
    }
    if (g.repeat)
        g.repeat->setEnabled(g.clockSync->enabled() && g.clockSync->checked());
}

TApplyResult TEventsPage::writeRows(TParamSink& out, bool) {
    for (const TGroup& g : groups_) {
        TControl& enabled = *rows()[g.first].controls[0];
        if (TApplyResult r = writeRow(out, rows()[g.first]); !r.ok)
            return r;
        if (!enabled.checked())
            continue;
        for (std::size_t i = g.first + 1; i < g.end; ++i)
            if (TApplyResult r = writeRow(out, rows()[i]); !r.ok)
                return r;
    }
    return {};
}

TApplyResult TEventsPage::repeatSync(int input, TParamReader& in, TParamSink& out,
                                     TConfigHost& host) {
    TEventInput& e = events.at(static_cast<std::size_t>(input));
    const std::string X = input == 0 ? "A" : "B", x = input == 0 ? "a" : "b";
    e.RepeatButton.setEnabled(false);
    TApplyResult result;
    {
        TWaitScope wait(host, kSendingText);
        if (out.set("/par/dev/event/" + x + "/lock", "on")) {
            ReadEdit(in, "/par/dev/event/" + x + "/locked", e.ClkStatEdit);
            e.ClkStatEdit.setEnabled(false);
        } else {
            result = {false, "Can't set clock synchronization with Event " + X, &e.ClkSyncCheckBox};
            host.showPage(name());
            e.ClkSyncCheckBox.setFocus();
            host.setStatus(result.message);
        }
    }
    e.RepeatButton.setEnabled(true);
    return result;
}

} // namespace telvor
