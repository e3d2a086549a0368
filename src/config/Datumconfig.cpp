#include "config/Datumconfig.h"

#include "config/Listnotation.h"

namespace telvor {
namespace {

// Element positions at brace depth 2 of a datum record.
enum TRecord { kEllipsoid = 1, kAxis = 2, kInvFlat = 3, kReference = 5, kFirstShift = 6 };

} // namespace

TDatumPage::TDatumPage() {
    for (TControl* c : controls())
        if (c->kind() == TControlKind::Edit || c == &RefDatumComboBox)
            c->onChanged = [this] {
                if (!loading_)
                    ApplyButton.setEnabled(true);
            };
    ApplyButton.setEnabled(false);
}

std::vector<TControl*> TDatumPage::controls() {
    return {&RefreshButton, &ApplyButton, &OkButton,    &CurDatumComboBox, &EllipsoidEdit,
            &AxisEdit,      &InvFlatEdit, &dXTransEdit, &dYTransEdit,      &dZTransEdit,
            &RxRotEdit,     &RyRotEdit,   &RzRotEdit,   &ScaleEdit,        &RefDatumComboBox};
}

std::vector<TControl*> TDatumPage::transformation() {
    return {&dXTransEdit, &dYTransEdit, &dZTransEdit, &RxRotEdit,
            &RyRotEdit,   &RzRotEdit,   &ScaleEdit};
}

void TDatumPage::setEditable() {
    const bool user = datum_ == "USER";
    const bool shifts = user || datum_ == "P90";
    for (TControl* c : transformation())
        c->setEnabled(shifts);
    AxisEdit.setEnabled(user);
    InvFlatEdit.setEnabled(user);
    RefDatumComboBox.setEnabled(user);
    EllipsoidEdit.setEnabled(false);
}

void TDatumPage::refresh(TParamReader& in, TConfigHost& host, const std::string& datum) {
    datum_ = datum;
    TWaitScope wait(host, kQueryingText);
    RefreshButton.setEnabled(false);
    loading_ = true;
    const auto option = in.print("/par/opts/cur/_DTM");
    if (!option) {
        for (TControl* c : controls())
            if (c != &RefreshButton)
                c->setEnabled(false);
    } else {
        CurDatumComboBox.setEnabled(true);
        CurDatumComboBox.setItems(DatumList(*option));
        SelectComboText(CurDatumComboBox, datum_);
        RefDatumComboBox.setItems(ShortDatumList());
        const std::string record = in.collect("/par/pos/datum/" + datum_).value_or("");
        if (record.empty()) {
            for (TControl* c : controls())
                if (c->kind() == TControlKind::Edit || c == &RefDatumComboBox)
                    c->setEnabled(false);
        } else {
            EllipsoidEdit.setText(ListElement(record, 2, kEllipsoid));
            AxisEdit.setText(ListElement(record, 2, kAxis));
            InvFlatEdit.setText(ListElement(record, 2, kInvFlat));
            int k = kFirstShift;
            for (TControl* c : transformation())
                c->setText(ListElement(record, 2, k++));
            const std::string ref = ListElement(record, 2, kReference);
            RefDatumComboBox.setItemIndex(ref == "0" ? 0 : ref == "1" ? 1 : -1);
            setEditable();
        }
    }
    loading_ = false;
    ApplyButton.setEnabled(false);
    RefreshButton.setEnabled(true);
}

void TDatumPage::chooseDatum(TParamReader& in, TConfigHost& host, const std::string& datum) {
    refresh(in, host, datum);
    ApplyButton.setEnabled(true);
}

std::string TDatumPage::command() const {
    std::string shifts;
    for (const TControl* c :
         {&dXTransEdit, &dYTransEdit, &dZTransEdit, &RxRotEdit, &RyRotEdit, &RzRotEdit, &ScaleEdit})
        shifts += "," + c->text();
    if (datum_ == "P90")
        return "/par/pos/datum/P90/par,{P90,0" + shifts + "}";
    if (datum_ == "USER")
        return "/par/pos/datum/USER,{{U-," + AxisEdit.text() + "," + InvFlatEdit.text() +
               "},{USER," + (RefDatumComboBox.text() == "W84" ? "0" : "1") + shifts + "}}";
    return {};
}

TApplyResult TDatumPage::apply(TParamSink& out, TConfigHost& host) {
    if (!ApplyButton.enabled())
        return {};
    const std::string cmd = command();
    if (!cmd.empty()) {
        // A stray comma or brace would shift every later field of the record.
        std::vector<TControl*> sent = transformation();
        if (datum_ == "USER")
            sent.insert(sent.begin(), {&AxisEdit, &InvFlatEdit});
        for (TControl* c : sent)
            if (!IsNumber(c->text())) {
                c->setFocus();
                host.setStatus("Invalid " + datum_ + " datum's parameters");
                return {false, "Invalid " + datum_ + " datum's parameters", c};
            }
        TWaitScope wait(host, kSendingText);
        const std::size_t comma = cmd.find(',');
        if (!out.set(cmd.substr(0, comma), cmd.substr(comma + 1))) {
            const std::string message = "Can't set " + datum_ + " datum's parameters";
            CurDatumComboBox.setFocus();
            host.setStatus(message);
            return {false, message, &CurDatumComboBox};
        }
    }
    ApplyButton.setEnabled(false);
    return {};
}

} // namespace telvor
