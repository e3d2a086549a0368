#include "config/Page.h"

#include "config/Listnotation.h"

namespace telvor {
namespace {

bool passes(TTextCheck check, const std::string& text) {
    switch (check) {
    case TTextCheck::None:
        return true;
    case TTextCheck::Number:
        return IsNumber(text);
    case TTextCheck::Integer:
        return IsInteger(text);
    case TTextCheck::Unsigned:
        return IsUnsigned(text);
    case TTextCheck::IPv4:
        return IsIPv4Address(text);
    }
    return false;
}

TControl& first(const TBindRow& row) {
    return *row.controls.front();
}

} // namespace

TBindRow EditRow(std::string path, TControl& edit, std::string failure) {
    return {.path = std::move(path), .controls = {&edit}, .failure = std::move(failure)};
}

TBindRow CheckRow(std::string path, TControl& box, std::string failure) {
    return {.path = std::move(path),
            .kind = TBindKind::CheckBox,
            .controls = {&box},
            .failure = std::move(failure)};
}

TBindRow ComboRow(std::string path, TControl& combo, ValueList values, ValueList captions,
                  std::string failure) {
    combo.setItems(captions);
    return {.path = std::move(path),
            .kind = TBindKind::ComboBox,
            .controls = {&combo},
            .values = std::move(values),
            .captions = std::move(captions),
            .failure = std::move(failure)};
}

TBindRow RadioGroupRow(std::string path, TControl& group, ValueList values, ValueList captions,
                       std::string failure) {
    group.setItems(std::move(captions));
    return {.path = std::move(path),
            .kind = TBindKind::RadioGroup,
            .controls = {&group},
            .values = std::move(values),
            .failure = std::move(failure)};
}

TBindRow GroupRow(std::string path, TBindKind kind, ControlList controls, std::string failure) {
    return {.path = std::move(path),
            .kind = kind,
            .controls = std::move(controls),
            .failure = std::move(failure)};
}

TWaitScope::TWaitScope(TConfigHost& host, const std::string& text)
    : host_(host), created_(!host.waitShown()) {
    if (created_)
        host_.showWait(text);
}

TWaitScope::~TWaitScope() {
    if (created_)
        host_.closeWait();
}

TConfigPage::TConfigPage(std::string name, TControl& apply, TControl& refresh, TControl* sheet)
    : apply_(apply), refresh_(refresh), name_(std::move(name)), sheet_(sheet) {
    // A derived page may own the buttons: they are not built yet here.
}

void TConfigPage::track(TControl& control) {
    control.onChanged = [this] { apply_.setEnabled(true); };
}

void TConfigPage::setRows(std::vector<TBindRow> rows) {
    apply_.setEnabled(false);
    rows_ = std::move(rows);
    for (const TBindRow& row : rows_)
        if (row.kind != TBindKind::Figure)
            for (TControl* c : row.controls)
                if (c)
                    track(*c);
}

void TConfigPage::readRow(TParamReader& in, const TBindRow& row) {
    if (row.kind == TBindKind::Custom) {
        if (row.read)
            row.read(in);
        return;
    }
    if (row.controls.empty() || !row.controls.front())
        return;
    switch (row.kind) {
    case TBindKind::Custom:
        break;
    case TBindKind::Edit:
        ReadEdit(in, row.path, first(row), row.quote);
        break;
    case TBindKind::Figure:
        ReadEdit(in, row.path, first(row), row.quote);
        if (row.ranged)
            CheckRange(row.low, row.high, first(row));
        break;
    case TBindKind::CheckBox:
        ReadCheckBox(in, row.path, first(row));
        break;
    case TBindKind::CheckBoxValue:
        ReadCheckBoxValue(in, row.path, row.onValue, first(row));
        break;
    case TBindKind::EditGroup:
        ReadEditGroup(in, row.path, row.controls, row.quote);
        break;
    case TBindKind::CheckBoxGroup:
        ReadCheckBoxGroup(in, row.path, row.controls);
        break;
    case TBindKind::RadioGroup:
        ReadRadioGroup(in, row.path, first(row), row.values);
        break;
    case TBindKind::RadioSet:
        ReadRadioSet(in, row.path, row.controls, row.values);
        break;
    case TBindKind::ComboBox:
        ReadComboBox(in, row.path, row.values, first(row), row.captions);
        break;
    case TBindKind::SpinEdit:
        ReadSpinEdit(in, row.path, first(row));
        break;
    }
}

TApplyResult TConfigPage::writeRow(TParamSink& out, const TBindRow& row) {
    if (row.kind == TBindKind::Custom)
        return row.write ? row.write(out) : TApplyResult{};
    if (row.controls.empty() || !row.controls.front())
        return {};
    TControl& c = first(row);
    bool ok = true;
    switch (row.kind) {
    case TBindKind::Custom:
        break;
    case TBindKind::Figure:
        return {};
    case TBindKind::Edit:
        // Refused before anything is sent.
        if (c.enabled() && !passes(row.check, c.text()))
            return {false, row.invalid, &c};
        ok = WriteEdit(out, row.path, c, row.quote);
        break;
    case TBindKind::CheckBox:
    case TBindKind::CheckBoxValue:
        ok = WriteCheckBox(out, row.path, c, row.onValue, row.offValue);
        break;
    case TBindKind::EditGroup:
        for (TControl* e : row.controls)
            if (e && e->enabled() && !passes(row.check, e->text()))
                return {false, row.invalid, e};
        ok = WriteEditGroup(out, row.path, row.controls, row.quote);
        break;
    case TBindKind::CheckBoxGroup:
        ok = WriteCheckBoxGroup(out, row.path, row.controls, row.onValue, row.offValue);
        break;
    case TBindKind::RadioGroup:
        ok = WriteRadioGroup(out, row.path, c, row.values);
        break;
    case TBindKind::RadioSet:
        ok = WriteRadioSet(out, row.path, row.controls, row.values);
        break;
    case TBindKind::ComboBox:
        ok = WriteComboBox(out, row.path, row.values, c, row.captions);
        break;
    case TBindKind::SpinEdit:
        ok = WriteSpinEdit(out, row.path, c);
        break;
    }
    if (ok)
        return {};
    return {false, row.failure, &c};
}

void TConfigPage::readRows(TParamReader& in) {
    for (const TBindRow& row : rows_)
        readRow(in, row);
}

void TConfigPage::refresh(TParamReader& in, TConfigHost& host) {
    if (!available())
        return;
    TWaitScope wait(host, kQueryingText);
    refresh_.setEnabled(false);
    refreshing_ = true;
    readRows(in);
    derive();
    refreshing_ = false;
    apply_.setEnabled(false);
    refresh_.setEnabled(true);
}

TApplyResult TConfigPage::apply(TParamSink& out, TConfigHost& host) {
    if (!available() || !apply_.enabled())
        return {};
    TWaitScope wait(host, kSendingText);
    TApplyResult result = writeRows(out, false);
    if (!result.ok) {
        host.showPage(name_);
        if (result.control)
            result.control->setFocus();
        host.setStatus(result.message);
        return result;
    }
    apply_.setEnabled(false);
    return {};
}

TApplyResult TConfigPage::writeRows(TParamSink& out, bool) {
    for (const TBindRow& row : rows_) {
        TApplyResult result = writeRow(out, row);
        if (!result.ok)
            return result;
    }
    return {};
}

bool TConfigPage::script(TParamSink& out) {
    if (!available())
        return true;
    return writeRows(out, true).ok;
}

} // namespace telvor
