#include "config/Baseconfig.h"

#include "config/Datumlists.h"
#include "config/Listnotation.h"

namespace telvor {
namespace {

constexpr const char* kPositionFailure = "Can't set Base reference position";

// The part of `text` from `from` up to the letter `end`; false when the letter is missing.
bool field(const std::string& text, std::size_t& from, char end, std::string& out) {
    const std::size_t at = text.find(end, from);
    if (at == std::string::npos || at == from)
        return false;
    out = text.substr(from, at - from);
    from = at + 1;
    return IsNumber(out);
}

std::string angle(char hemisphere, const TControl& d, const TControl& m, const TControl& s) {
    return hemisphere + d.text() + "d" + m.text() + "m" + s.text() + "s";
}

} // namespace

std::optional<TAngleText> ParseAngleText(const std::string& text) {
    const std::string t = TrimText(text);
    if (t.empty() || std::string("NSEW").find(t[0]) == std::string::npos)
        return std::nullopt;
    TAngleText a;
    a.hemisphere = t[0];
    std::size_t at = 1;
    if (!field(t, at, 'd', a.degrees) || !field(t, at, 'm', a.minutes) ||
        !field(t, at, 's', a.seconds) || at != t.size())
        return std::nullopt;
    return a;
}

TRefPosition::TRefPosition(const std::string& datumName, const std::string& suffix)
    : Datum(datumName, TControlKind::ComboBox),
      LatHemisphere("LatComboBox" + suffix, TControlKind::ComboBox),
      LatD("LatDEdit" + suffix, TControlKind::Edit), LatM("LatMEdit" + suffix, TControlKind::Edit),
      LatS("LatSEdit" + suffix, TControlKind::Edit),
      LonHemisphere("LonComboBox" + suffix, TControlKind::ComboBox),
      LonD("LonDEdit" + suffix, TControlKind::Edit), LonM("LonMEdit" + suffix, TControlKind::Edit),
      LonS("LonSEdit" + suffix, TControlKind::Edit), Alt("AltEdit" + suffix, TControlKind::Edit) {
    LatHemisphere.setItems({"N", "S"});
    LonHemisphere.setItems({"E", "W"});
    Datum.setItems(ShortDatumList());
}

std::vector<TControl*> TRefPosition::controls() {
    return {&Datum, &LatHemisphere, &LatD, &LatM, &LatS, &LonHemisphere, &LonD, &LonM, &LonS, &Alt};
}

bool TRefPosition::show(const std::string& value) {
    if (ListCount(value, 1) != 4)
        return false;
    const auto lat = ParseAngleText(ListElement(value, 1, 2));
    const auto lon = ParseAngleText(ListElement(value, 1, 3));
    const std::string height = TrimText(ListElement(value, 1, 4));
    if (!lat || !lon || (lat->hemisphere != 'N' && lat->hemisphere != 'S') ||
        (lon->hemisphere != 'E' && lon->hemisphere != 'W') || !IsNumber(height))
        return false;
    SelectComboText(Datum, TrimText(ListElement(value, 1, 1)));
    LatHemisphere.setItemIndex(lat->hemisphere == 'S' ? 1 : 0);
    LatD.setText(lat->degrees);
    LatM.setText(lat->minutes);
    LatS.setText(lat->seconds);
    LonHemisphere.setItemIndex(lon->hemisphere == 'W' ? 1 : 0);
    LonD.setText(lon->degrees);
    LonM.setText(lon->minutes);
    LonS.setText(lon->seconds);
    Alt.setText(height);
    return true;
}

std::string TRefPosition::text() const {
    return "{" + Datum.text() + "," +
           angle(LatHemisphere.itemIndex() == 1 ? 'S' : 'N', LatD, LatM, LatS) + "," +
           angle(LonHemisphere.itemIndex() == 1 ? 'W' : 'E', LonD, LonM, LonS) + "," + Alt.text() +
           "}";
}

void TRefPosition::setEnabled(bool on) {
    for (TControl* c : controls())
        on ? c->enableWithLabel() : c->disableWithLabel();
}

TBasePage::TBasePage() : TConfigPage("Base", ApplyButton, RefreshButton) {
    std::vector<TBindRow> rows;
    rows.push_back(CheckRow("/par/ref/avg/mode", AvrgModeCheckBox,
                            "Can't set reference position averaging mode"));
    rows.push_back(
        EditRow("/par/ref/avg/span", AvrgModeEdit, "Can't set reference position averaging span"));
    for (const auto& sheet :
         {std::pair{&Gps, "/par/ref/pos/gps/geo"}, std::pair{&Gln, "/par/ref/pos/glo/geo"}}) {
        TRefPosition* position = sheet.first;
        const std::string path = sheet.second;
        TBindRow row{.path = path, .kind = TBindKind::Custom, .failure = kPositionFailure};
        for (TControl* c : position->controls())
            row.controls.push_back(c);
        row.read = [this, position, path](TParamReader& in) { readPosition(in, *position, path); };
        row.write = [this, position, path](TParamSink& out) {
            return writePosition(out, *position, path);
        };
        rows.push_back(std::move(row));
    }
    rows.push_back(GroupRow("/par/ref/ant/l2_l1", TBindKind::EditGroup,
                            {&BaseEastOffsEdit, &BaseNorthOffsEdit, &BaseHeightOffsEdit},
                            "Can't set antenna phase center offsets"));
    rows.push_back(EditRow("/par/rtcm/base/stid", BaseStidEdit, "Can't set RTCM Base Station ID"));
    rows.push_back(
        EditRow("/par/rtcm/base/svm", MaxSatsEdit, "Can't set max. number of satellites"));
    rows.push_back(ComboRow("/par/rtcm/base/health", BaseRTCMHealthComboBox,
                            {"good", "bad", "unknown"}, {"Good", "Bad", "Unknown"},
                            "Can't set base health mode"));
    rows.push_back(CheckRow("/par/rtcm/base/meas/ca", CABaseCheckBox,
                            "Can't set RTCM C/A measurements sending mode"));
    rows.push_back(CheckRow("/par/rtcm/base/meas/p1", P1BaseCheckBox,
                            "Can't set RTCM P1 measurements sending mode"));
    rows.push_back(CheckRow("/par/rtcm/base/meas/p2", P2BaseCheckBox,
                            "Can't set RTCM P2 measurements sending mode"));
    rows.push_back(GroupRow("/par/rtcm/base/sys", TBindKind::CheckBoxGroup,
                            {&BaseRTCMGPSCheckBox, &BaseRTCMGLOCheckBox},
                            "Can't set system used in RTCM messages"));
    rows.push_back(CheckRow("/par/rtcm/base/smooth", PRSmoothCheckBox,
                            "Can't set pseudo-range smoothing mode"));
    rows.push_back(
        EditRow("/par/cmr/base/stid", BaseCMRStatIDEdit, "Can't set CMR Base Station ID"));
    rows.push_back(ComboRow("/par/cmr/base/motion", BaseCMRMotionComboBox,
                            {"unknown", "static", "kinematic"}, {"Unknown", "Static", "Kinematic"},
                            "Can't set CMR Base motion mode"));
    TBindRow pcode = GroupRow("/par/cmr/base/pcode", TBindKind::RadioSet,
                              {&BaseCMRMeasCARadioButton, &BaseCMRMeasP1RadioButton},
                              "Can't set CMR C/A or P1 measurements sending mode");
    pcode.values = {"off", "on"};
    rows.push_back(std::move(pcode));
    rows.push_back(CheckRow("/par/cmr/base/meas/p2", BaseCMRMeasP2CheckBox,
                            "Can't set CMR P2 measurements sending mode"));
    BaseCMRSettCSpinEdit.setRange(-1, 256);
    rows.push_back({.path = "/par/cmr/base/glo/type",
                    .kind = TBindKind::SpinEdit,
                    .controls = {&BaseCMRSettCSpinEdit},
                    .failure = "Can't set Base CMR base GLONASS message type"});
    TBindRow desc = GroupRow("/par/cmr/base/desc", TBindKind::EditGroup,
                             {&BaseCMRStatShortIDEdit, &BaseCMRCOGOEdit, &BaseCMRStatLongIDEdit},
                             "Can't set CMR base descrition parameters");
    desc.quote = true;
    rows.push_back(std::move(desc));
    setRows(std::move(rows));
    setAtOneTime(true);
}

std::vector<TControl*> TBasePage::controls() {
    std::vector<TControl*> all{&ApplyButton, &RefreshButton, &GPSGLNAtOneTimeRadioButton,
                               &GPSGLNSeparatelyRadioButton};
    for (const TBindRow& row : rows())
        for (TControl* c : row.controls)
            all.push_back(c);
    return all;
}

void TBasePage::setAtOneTime(bool on) {
    GPSGLNAtOneTimeRadioButton.setChecked(on);
    GPSGLNSeparatelyRadioButton.setChecked(!on);
}

void TBasePage::readPosition(TParamReader& in, TRefPosition& position, const std::string& path) {
    if (&position == &Gps) {
        const auto& datums = DatumList(in.print("/par/opts/cur/_DTM").value_or("0"));
        Gps.Datum.setItems(datums);
        Gln.Datum.setItems(datums);
    }
    const auto value = in.collect(path);
    position.read = value && position.show(*value);
    position.setEnabled(position.read);
}

TApplyResult TBasePage::writePosition(TParamSink& out, const TRefPosition& position,
                                      const std::string& path) {
    if (AvrgModeCheckBox.checked() || !position.read)
        return {};
    // At one time the GLONASS sheet is hidden: the GPS/GLO sheet holds both.
    const std::string text = (&position == &Gln && atOneTime()) ? Gps.text() : position.text();
    if (out.set(path, text))
        return {};
    return {false, kPositionFailure, &GPSGLNAtOneTimeRadioButton};
}

} // namespace telvor
