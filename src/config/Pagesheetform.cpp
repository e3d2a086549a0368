#include "config/Pagesheetform.h"

#include "config/Sheetform.h"

#include <QWidget>

namespace telvor {
namespace {

std::vector<TControl*> boxes(const TSatList& list) {
    std::vector<TControl*> out;
    for (const auto& box : list.boxes)
        out.push_back(box.get());
    return out;
}

TCaptions satCaptions(const TPositioningPage& page) {
    TCaptions captions;
    for (const TSatList& list : page.lists)
        for (std::size_t i = 0; i < list.boxes.size(); ++i)
            captions[list.boxes[i]->name()] = QString::number(i + 1);
    return captions;
}

} // namespace

void buildPositioningSheet(QWidget* sheet, TPositioningPage& p) {
    TCaptions c = satCaptions(p);
    c.insert({{"PosStandAloneRadioButton", "Standalone"},
              {"PosDGPSRadioButton", "DGPS (Code Differential)"},
              {"PosRTKFloatRadioButton", "RTK Float"},
              {"PosRTKFixedRadioButton", "RTK Fixed"},
              {"PosStandAloneCheckBox", "Standalone"},
              {"PosCodeDiffCheckBox", "DGPS"},
              {"PosPhaseFloatCheckBox", "RTK Float"},
              {"PosPhaseFixedCheckBox", "RTK Fixed"},
              {"ELMaskLabel", "Elevation mask (degree) :"},
              {"PDOPPosMaskLabel", "PDOP mask :"},
              {"GPSSysCheckBox", "GPS"},
              {"GLONASSSysCheckBox", "GLONASS"},
              {"RAIMEnabledCheckBox", "RAIM Enabled"},
              {"RAIMAlarmLabel", "Alarm :"},
              {"RAIMAlarmLimitLabel", "Alarm limit (m) :"},
              {"CAUsedRadioButton", "CA/L1"},
              {"P1UsedRadioButton", "P/L1"},
              {"P2UsedRadioButton", "P/L2"},
              {"IonoUsedRadioButton", "Iono-Free"},
              {"CurDatumLabel", "Current Datum :"},
              {"PosCurDatumButton", "Datum Parameters"},
              {"IonoCorrCheckBox", "Iono-Correction"},
              {"TropoCorrCheckBox", "Tropo-Correction"},
              {"WAASTrueNumCheckBox", "Output \"true\" WAAS PRN numbers"},
              {"GPSLockCheckBox", "GPS"},
              {"GLOLockCheckBox", "GLONASS"},
              {"GPSUseCheckBox", "GPS"},
              {"GLOUseCheckBox", "GLONASS"},
              {"GPSAllLockButton", "All to lock"},
              {"GPSNoneLockButton", "None to lock"},
              {"GPSAllUseButton", "All to use"},
              {"GPSNoneUseButton", "None to use"},
              {"GLOAllLockButton", "All to lock"},
              {"GLONoneLockButton", "None to lock"},
              {"GLOAllUseButton", "All to use"},
              {"GLONoneUseButton", "None to use"},
              {"PosRefreshButton", "Refresh"},
              {"PosApplyButton", "Apply"}});
    std::vector<TSheetGroup> groups{
        {"Positioning mode",
         {&p.PosStandAloneRadioButton, &p.PosDGPSRadioButton, &p.PosRTKFloatRadioButton,
          &p.PosRTKFixedRadioButton}},
        {"Enable Solutions",
         {&p.PosStandAloneCheckBox, &p.PosCodeDiffCheckBox, &p.PosPhaseFloatCheckBox,
          &p.PosPhaseFixedCheckBox}},
        {"Masks and systems",
         {&p.ELMaskEdit, &p.PDOPPosMaskEdit, &p.GPSSysCheckBox, &p.GLONASSSysCheckBox}},
        {"RAIM", {&p.RAIMEnabledCheckBox, &p.RAIMAlarmComboBox, &p.RAIMAlarmLimitEdit}},
        {"Used measurements",
         {&p.CAUsedRadioButton, &p.P1UsedRadioButton, &p.P2UsedRadioButton,
          &p.IonoUsedRadioButton}},
        {"Datum and corrections",
         {&p.CurDatumComboBox, &p.PosCurDatumButton, &p.IonoCorrCheckBox, &p.TropoCorrCheckBox}},
        {"Satellites tracked ", {&p.GPSLockCheckBox, &p.GLOLockCheckBox}},
        {"Satellites used in pos.", {&p.GPSUseCheckBox, &p.GLOUseCheckBox}},
        {"GPS",
         {&p.GPSAllLockButton, &p.GPSNoneLockButton, &p.GPSAllUseButton, &p.GPSNoneUseButton},
         4},
        {"GPS lock", boxes(p.lists[kLockGps]), 8},
        {"GPS use", boxes(p.lists[kUseGps]), 8},
        {"GLONASS",
         {&p.GLOAllLockButton, &p.GLONoneLockButton, &p.GLOAllUseButton, &p.GLONoneUseButton},
         4},
        {"GLONASS lock by Frequency Channel Number", boxes(p.lists[kLockGloFcn]), 8,
         "GLOFcnLockGroup"},
        {"GLONASS lock by Slot Number", boxes(p.lists[kLockGloSat]), 8, "GLOSlotLockGroup"},
        {"GLONASS use by Frequency Channel Number", boxes(p.lists[kUseGloFcn]), 8,
         "GLOFcnUseGroup"},
        {"GLONASS use by Slot Number", boxes(p.lists[kUseGloSat]), 8, "GLOSlotUseGroup"}};
    // One numbering is shown at a time: a slot group takes the place of its twin.
    for (TSheetGroup& g : groups)
        g.sharesCell = g.name.startsWith("GLOSlot");
    for (TWaasChannel& ch : p.waas) {
        const QString n = QString::fromStdString(ch.n);
        const std::string k = ch.n;
        c.insert({{"WAASCh" + k + "EnableCheckBox", "Channel " + n},
                  {"WAAS" + k + "SpinEdit", "Set WAAS :"},
                  {"WAASGPS" + k + "SpinEdit", "as GPS :"},
                  {"WAASMess" + k + "SpinEdit", "Interpret message #0 as message : #"},
                  {"NeverCh" + k + "RadioButton", "Never"},
                  {"AlwaysCh" + k + "RadioButton", "If exist"},
                  {"OnlyCh" + k + "RadioButton", "Only"}});
        groups.push_back({"WAAS Channel " + n, {&ch.Enable, &ch.Waas, &ch.Gps, &ch.Mess}});
        groups.push_back({"Use Iono Corrections :", {&ch.Never, &ch.Always, &ch.Only}, 3});
    }
    groups.push_back({"", {&p.WAASTrueNumCheckBox}});
    groups.push_back({"", {&p.RefreshButton, &p.ApplyButton}, 2});
    // Four columns keep the page within a desktop screen's height.
    buildSheet(sheet, groups, c, 4);
}

void showGlonassNumbering(QWidget* sheet, bool byFcn) {
    for (const char* name : {"GLOFcnLockGroup", "GLOFcnUseGroup"})
        if (auto* w = sheet->findChild<QWidget*>(name))
            w->setVisible(byFcn);
    for (const char* name : {"GLOSlotLockGroup", "GLOSlotUseGroup"})
        if (auto* w = sheet->findChild<QWidget*>(name))
            w->setVisible(!byFcn);
}

void buildAttitudeSheet(QWidget* sheet, TAttitudePage& p) {
    buildSheet(
        sheet,
        {{"Heading", {&p.HeadingModeCheckBox, &p.FixedBaseLineCheckBox, &p.FixedBaselineEdit}},
         {"", {&p.RefreshButton}}},
        {{"HeadingModeCheckBox", "Enable Heading Mode"},
         {"FixedBaseLineCheckBox", "Enable Fixed Baseline"},
         {"FixedBaselineLabel", "Baseline (meters) :"},
         {"AttitudeRefreshButton", "Refresh"}});
}

void buildEventsSheet(QWidget* sheet, TEventsPage& p) {
    TCaptions c{{"EventsRefreshButton", "Refresh"}, {"EventsApplyButton", "Apply"}};
    std::vector<TSheetGroup> groups;
    for (TPpsGroup& g : p.pps) {
        const QString X = QString::fromStdString(g.CheckBox.name().substr(3, 1));
        for (auto [control, text] : {std::pair{&g.CheckBox, "PPS " + X + " Enabled"},
                                     {&g.PeriodLabel, "Period: (ms)"},
                                     {&g.OffMsLabel, "Offset: (ms)"},
                                     {&g.OffNsLabel, "Offset: (ns)"},
                                     {&g.EdgeGroup, "Edge"},
                                     {&g.TimeGroup, "Ref. Time"},
                                     {&g.MarkedLabel, "Period of 'marked' pulses :"},
                                     {&g.SyncCheckBox, "Tied with Ref. Time"}})
            c[control->name()] = text;
        groups.push_back({"PPS " + X,
                          {&g.CheckBox, &g.PeriodEdit, &g.OffMsEdit, &g.OffNsEdit, &g.EdgeGroup,
                           &g.TimeGroup, &g.MarkedEdit, &g.SyncCheckBox}});
    }
    for (TEventInput& e : p.events) {
        const QString X = QString::fromStdString(e.CheckBox.name().substr(5, 1));
        for (auto [control, text] : {std::pair{&e.CheckBox, "Event " + X + " Enabled"},
                                     {&e.EdgeGroup, "Edge"},
                                     {&e.TimeGroup, "Ref. Time"},
                                     {&e.ClkSyncCheckBox, "Clock Synchronization"},
                                     {&e.ClkStatLabel, "Status :"},
                                     {&e.SyncCheckBox, "Tied with Ref.Time"},
                                     {&e.RepeatButton, "Repeat Synchronization"}})
            c[control->name()] = text;
        groups.push_back({"Event " + X,
                          {&e.CheckBox, &e.EdgeGroup, &e.TimeGroup, &e.ClkSyncCheckBox,
                           &e.ClkStatEdit, &e.SyncCheckBox, &e.RepeatButton}});
    }
    groups.push_back({"", {&p.RefreshButton, &p.ApplyButton}, 2});
    buildSheet(sheet, groups, c, 2);
}

void buildMessagesSheet(QWidget* sheet, TMessagesPage& p) {
    buildSheet(sheet, {{"", {&p.RefreshButton, &p.ApplyButton}, 2}},
               {{p.RefreshButton.name(), "Refresh"}, {p.ApplyButton.name(), "Apply"}});
}

} // namespace telvor
