#include "config/Rtksheetform.h"

#include "config/Sheetform.h"

#include <QGroupBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace telvor {
namespace {

std::vector<TControl*> buttons(TControl& refresh, TControl& apply) {
    return {&refresh, &apply};
}

const TCaptions kCaptions{
    {"KorvelRefreshButton", "Refresh"},
    {"KorvelApplyButton", "Apply"},
    {"KORVELLabel", "Recording interval :"},
    {"FileELMLabel", "Elevation mask for Log file :"},
    {"FilePrefixEdit", "File name prefix :"},
    {"AppendFileEdit", "Always append to the file :"},
    {"AFRMModeRadioGroup", "Files Creation mode"},
    {"AFRMPeriodEdit", "Period (sec) :"},
    {"AFRMPhaseEdit", "Phase (sec):"},
    {"AFRMMaxNumEdit", "Files (total ) :"},
    {"AFRMRemainEdit", "Files (remain) :"},
    {"RmOldCheckBox", "Automatically remove old files"},
    {"FNModeRadioGroup", "FN key mode"},
    {"InitialDynModeRadioGroup", "Initial data collection dynamic mode"},
    {"AutoStartRadioGroup", "Data recording auto-start"},
    {"AvrgModeCheckBox", "Averaged"},
    {"GPSGLNAtOneTimeRadioButton", "GPS/GLO at one time"},
    {"GPSGLNSeparatelyRadioButton", "GPS/GLO separately"},
    {"RoverStandAloneRadioButton", "Standalone"},
    {"RoverDGPSRadioButton", "DGPS"},
    {"RoverRTKFloatRadioButton", "RTK Float"},
    {"RoverRTKRadioButton", "RTK Fixed"},
    {"RoverStandaloneCheckBox", "Standalone"},
    {"RoverDGPSCheckBox", "Code Differential"},
    {"RoverRTKFloatCheckBox", "Phase Float"},
    {"RoverRTKFixedCheckBox", "Phase Fixed"},
    {"RTKStaticRadioButton", "Static"},
    {"RTKDynamicRadioButton", "Dynamic"},
    {"RTKResetButton", "Reset RTK engine"},
    {"InfraredCheckBox", "Infrared"},
    {"AjmOffRadioButton", "Off"},
    {"AjmGpsRadioButton", "GPS L1/L2"},
    {"AjmGloRadioButton", "GLONASS L1/L2"},
    {"AjmL1RadioButton", "GPS/GLONASS L1"},
    {"AjmL2RadioButton", "GPS/GLONASS L2"},
    {"AjmAutoRadioButton", "Auto"},
    {"AdvOscOffRadioButton", "Off"},
    {"AdvOscFrqLockRadioButton", "Frequency locked"},
    {"AdvOscFrqTimeLockRadioButton", "Frequency and time locked"},
    {"DopSMMethodCheckBox", "Doppler smoothing method"},
    {"ModemAntIntRadioButton", "Int"},
    {"ModemAntExtRadioButton", "Ext"},
    {"ModemPwrHighRadioButton", "High"},
    {"ModemPwrLowRadioButton", "Low"},
};

// Refresh and Apply buttons of every sub-page are captioned alike.
TCaptions captionsWithButtons(const std::vector<TControl*>& controls) {
    TCaptions captions = kCaptions;
    for (TControl* c : controls)
        if (c->kind() == TControlKind::Button && !captions.count(c->name()))
            captions[c->name()] =
                c->name().find("Refresh") != std::string::npos ? "Refresh" : "Apply";
    return captions;
}

QTabWidget* notebook(QWidget* sheet, const char* name) {
    auto* tabs = new QTabWidget(sheet);
    tabs->setObjectName(name);
    (new QVBoxLayout(sheet))->addWidget(tabs);
    return tabs;
}

QWidget* subSheet(QTabWidget* tabs, const TConfigPage& page) {
    auto* sub = new QWidget(tabs);
    sub->setObjectName(QString::fromStdString(page.name()));
    tabs->addTab(sub, QString::fromStdString(page.name()));
    return sub;
}

} // namespace

void buildKorvelSheet(QWidget* sheet, TKorvelPage& page) {
    std::vector<TControl*> all = page.controls();
    std::vector<TControl*> edits;
    for (TControl* c : all)
        if (c->kind() != TControlKind::Button && c->kind() != TControlKind::Label)
            edits.push_back(c);
    buildSheet(sheet,
               {{{}, edits}, {{}, buttons(page.KorvelRefreshButton, page.KorvelApplyButton), 2}},
               captionsWithButtons(all));
}

void buildBaseSheet(QWidget* sheet, TBasePage& page) {
    std::vector<TSheetGroup> groups;
    groups.push_back({{},
                      {&page.AvrgModeCheckBox, &page.AvrgModeEdit, &page.GPSGLNAtOneTimeRadioButton,
                       &page.GPSGLNSeparatelyRadioButton}});
    groups.push_back({"GPS", page.Gps.controls(), 1, "BaseGPSPositionSheet"});
    groups.push_back({"GLONASS", page.Gln.controls(), 1, "BaseGLNPositionSheet"});
    std::vector<TControl*> rtcm, cmr;
    for (TControl* c : page.controls()) {
        bool listed = c->kind() == TControlKind::Button;
        for (const TSheetGroup& g : groups)
            for (TControl* d : g.controls)
                listed = listed || c == d;
        if (!listed)
            (c->name().find("CMR") != std::string::npos ? cmr : rtcm).push_back(c);
    }
    groups.push_back({"Antenna and RTCM", rtcm});
    groups.push_back({"CMR", cmr});
    groups.push_back({{}, buttons(page.RefreshButton, page.ApplyButton), 2});
    // Side by side the page stays within a desktop screen's height.
    buildSheet(sheet, groups, captionsWithButtons(page.controls()), 3);
    showBasePositions(sheet, page.atOneTime());
}

void showBasePositions(QWidget* sheet, bool atOneTime) {
    if (auto* gps = sheet->findChild<QGroupBox*>("BaseGPSPositionSheet"))
        gps->setTitle(atOneTime ? "GPS/GLO" : "GPS");
    if (auto* gln = sheet->findChild<QGroupBox*>("BaseGLNPositionSheet"))
        gln->setVisible(!atOneTime);
}

void buildRoverSheet(QWidget* sheet, TRoverPage& page) {
    std::vector<TControl*> all = page.controls();
    std::vector<TControl*> fields;
    for (TControl* c : all)
        if (c->kind() != TControlKind::Button)
            fields.push_back(c);
    buildSheet(
        sheet,
        {{{}, fields, 2}, {{}, {&page.RTKResetButton, &page.RefreshButton, &page.ApplyButton}, 3}},
        captionsWithButtons(all));
}

void buildPortsSheets(QWidget* sheet, TPortsPages& pages) {
    QTabWidget* tabs = notebook(sheet, "PortsPageControl");
    for (TConfigPage* page : pages.pages()) {
        QWidget* sub = subSheet(tabs, *page);
        std::vector<TControl*> all = page == &pages.Ethernet
                                         ? pages.Ethernet.controls()
                                         : static_cast<TPortsSubPage*>(page)->controls();
        std::vector<TSheetGroup> groups;
        if (page != &pages.Ethernet)
            for (TPortRow* row : static_cast<TPortsSubPage*>(page)->ports())
                groups.push_back({QString::fromStdString(row->port), row->controls(), 1});
        std::vector<TControl*> rest, own;
        for (TControl* c : all) {
            bool listed = c->kind() == TControlKind::Button;
            for (const TSheetGroup& g : groups)
                for (TControl* d : g.controls)
                    listed = listed || c == d;
            if (!listed)
                rest.push_back(c);
        }
        if (!rest.empty())
            groups.push_back({{}, rest});
        for (TControl* c : all)
            if (c->kind() == TControlKind::Button)
                own.push_back(c);
        groups.push_back({{}, own, 2});
        buildSheet(sub, groups, captionsWithButtons(all), 2);
    }
}

void buildAdvancedSheets(QWidget* sheet, TAdvancedPages& pages) {
    QTabWidget* tabs = notebook(sheet, "AdvancedPages");
    const char* titles[] = {"Anti-jamming", "Multipath", "Loops", "External frequency", "Raw data"};
    int index = 0;
    for (TAdvancedSheet* page : {static_cast<TAdvancedSheet*>(&pages.AntiJamming),
                                 static_cast<TAdvancedSheet*>(&pages.Multipath),
                                 static_cast<TAdvancedSheet*>(&pages.Loops),
                                 static_cast<TAdvancedSheet*>(&pages.Frequency),
                                 static_cast<TAdvancedSheet*>(&pages.RawData)}) {
        QWidget* sub = subSheet(tabs, *page);
        tabs->setTabText(index, titles[index]);
        ++index;
        std::vector<TControl*> all = page->controls(), fields;
        for (TControl* c : all)
            if (c->kind() != TControlKind::Button)
                fields.push_back(c);
        buildSheet(sub, {{{}, fields}, {{}, buttons(page->RefreshButton, page->ApplyButton), 2}},
                   captionsWithButtons(all));
    }
}

} // namespace telvor
