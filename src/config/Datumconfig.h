#pragma once
// The datum window's rules: which datums the receiver offers, a datum's ellipsoid and
// transformation read from its record, and the two datums the user may change ("P90" and
// "USER"). No Qt.
#include "config/Datumlists.h"
#include "config/Page.h"

#include <string>
#include <vector>

namespace telvor {

class TDatumPage {
public:
    TDatumPage();
    TDatumPage(const TDatumPage&) = delete;
    TDatumPage& operator=(const TDatumPage&) = delete;

    TControl RefreshButton{"DatumConfigRefreshButton", TControlKind::Button};
    TControl ApplyButton{"DatumConfigApplyButton", TControlKind::Button};
    TControl OkButton{"DatumConfigOkButton", TControlKind::Button};
    TControl CurDatumComboBox{"CurDatumComboBox", TControlKind::ComboBox};
    TControl EllipsoidEdit{"EllipsoidEdit", TControlKind::Edit};
    TControl AxisEdit{"AxisEdit", TControlKind::Edit};
    TControl InvFlatEdit{"InvFlatEdit", TControlKind::Edit};
    TControl dXTransEdit{"dXTransEdit", TControlKind::Edit};
    TControl dYTransEdit{"dYTransEdit", TControlKind::Edit};
    TControl dZTransEdit{"dZTransEdit", TControlKind::Edit};
    TControl RxRotEdit{"RxRotEdit", TControlKind::Edit};
    TControl RyRotEdit{"RyRotEdit", TControlKind::Edit};
    TControl RzRotEdit{"RzRotEdit", TControlKind::Edit};
    TControl ScaleEdit{"ScaleEdit", TControlKind::Edit};
    TControl RefDatumComboBox{"RefDatumComboBox", TControlKind::ComboBox};

    std::vector<TControl*> controls();
    // The datum shown; the positioning page takes it back on Apply and Ok.
    const std::string& datum() const { return datum_; }
    // "<datum> Datum Parameters".
    std::string caption() const { return datum_ + " Datum Parameters"; }

    void refresh(TParamReader& in, TConfigHost& host, const std::string& datum);
    // The user chose another current datum: its parameters, and Apply enabled.
    void chooseDatum(TParamReader& in, TConfigHost& host, const std::string& datum);
    // Only while Apply is enabled. Sends nothing for a datum the receiver keeps fixed.
    TApplyResult apply(TParamSink& out, TConfigHost& host);
    // The command Apply would send for the datum shown ("" for a fixed datum).
    std::string command() const;

private:
    std::vector<TControl*> transformation();
    void setEditable();

    std::string datum_;
    bool loading_ = false;
};

} // namespace telvor
