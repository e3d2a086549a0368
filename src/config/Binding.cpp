#include "config/Binding.h"

#include "config/Listnotation.h"
#include "protocol/Bridge.h"
#include "protocol/Commtools.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace telvor {
namespace {

constexpr std::size_t kMaxListEntries = 24;

// A list reply's elements at depth 1, read once for all the controls of a group.
std::vector<std::string> elementsOf(const std::optional<std::string>& value) {
    return value ? ListElements(*value, 1) : std::vector<std::string>();
}
const std::string& elementAt(const std::vector<std::string>& elements, std::size_t i) {
    static const std::string none;
    return i < elements.size() ? elements[i] : none;
}

// The entries before the first empty one.
std::size_t countOf(const ValueList& values) {
    std::size_t n = 0;
    while (n < values.size() && n < kMaxListEntries && !values[n].empty())
        ++n;
    return n;
}
std::size_t countOf(const ControlList& controls) {
    std::size_t n = 0;
    while (n < controls.size() && n < kMaxListEntries && controls[n])
        ++n;
    return n;
}

int indexOf(const ValueList& values, const std::string& value) {
    const std::size_t n = countOf(values);
    for (std::size_t i = 0; i < n; ++i)
        if (values[i] == value)
            return static_cast<int>(i);
    return -1;
}

bool isOn(const std::string& value) {
    return value == "on" || value == "y" || value == "yes";
}

} // namespace

std::optional<std::string> TReceiverParams::print(const std::string& path) {
    if (SendAndWait("%%print," + path, kParamTimeoutMs) != TReply::RE)
        return std::nullopt;
    return ReplyText(7);
}

std::optional<std::string> TReceiverParams::collect(const std::string& path) {
    if (SendAndWait("%%print," + path, kParamTimeoutMs) != TReply::RE)
        return std::nullopt;
    std::string value;
    if (!ReadCompleteValue(value, 7, kParamTimeoutMs))
        return std::nullopt;
    return TrimText(value);
}

bool TReceiverParams::set(const std::string& path, const std::string& value) {
    const TReply reply = SendAndWait("%%set," + path + "," + value, kParamTimeoutMs);
    lastError_ = reply == TReply::ER ? ReplyText(5) : std::string();
    return reply == TReply::RE;
}

bool TReceiverParams::command(const std::string& text) {
    const TReply reply = SendAndWait("%%" + text, kParamTimeoutMs);
    lastError_ = reply == TReply::ER ? ReplyText(5) : std::string();
    return reply == TReply::RE;
}

void TReceiverParams::pause(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        uiBridge().processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool TScriptSink::command(const std::string& text) {
    out_ << '%' << text.substr(0, text.find(',')) << '%' << text << '\n';
    return static_cast<bool>(out_);
}

void TScriptSink::pause(int ms) {
    out_ << "@sleep " << ms << '\n';
}

bool TScriptSink::set(const std::string& path, const std::string& value) {
    out_ << '%' << path << "%set," << path << ',' << value << '\n';
    return static_cast<bool>(out_);
}

std::string CollectReply() {
    std::string value;
    if (!ReadCompleteValue(value, 7, kParamTimeoutMs))
        return {};
    return TrimText(value);
}

bool ReadEdit(TParamReader& in, const std::string& path, TControl& edit, bool unquote) {
    const auto value = in.print(path);
    if (!value) {
        edit.setText({});
        edit.disableWithLabel();
        return false;
    }
    edit.setText(unquote ? Unquote(*value) : *value);
    edit.enableWithLabel();
    return true;
}

bool ReadCheckBox(TParamReader& in, const std::string& path, TControl& box) {
    const auto value = in.print(path);
    box.setChecked(value && isOn(*value));
    if (!value) {
        box.disableWithLabel();
        return false;
    }
    box.enableWithLabel();
    return true;
}

bool ReadCheckBoxValue(TParamReader& in, const std::string& path, const std::string& onValue,
                       TControl& box) {
    const auto value = in.print(path);
    box.setChecked(value && *value == onValue);
    if (!value) {
        box.disableWithLabel();
        return false;
    }
    box.enableWithLabel();
    return true;
}

bool ReadEditGroup(TParamReader& in, const std::string& path, const ControlList& edits,
                   bool unquote) {
    const std::size_t n = countOf(edits);
    const auto value = in.collect(path);
    const auto elements = elementsOf(value);
    for (std::size_t i = 0; i < n; ++i) {
        if (!value) {
            edits[i]->setText({});
            edits[i]->disableWithLabel();
            continue;
        }
        const std::string& element = elementAt(elements, i);
        edits[i]->setText(unquote ? Unquote(element) : element);
        edits[i]->enableWithLabel();
    }
    return value.has_value();
}

bool ReadCheckBoxGroup(TParamReader& in, const std::string& path, const ControlList& boxes) {
    const std::size_t n = countOf(boxes);
    for (std::size_t i = 0; i < n; ++i) {
        boxes[i]->enableWithLabel();
        boxes[i]->setChecked(false);
    }
    const auto value = in.collect(path);
    const auto elements = elementsOf(value);
    for (std::size_t i = 0; i < n; ++i) {
        if (!value) {
            boxes[i]->disableWithLabel();
            continue;
        }
        const std::string& element = elementAt(elements, i);
        // An element the receiver leaves empty belongs to a channel it does not have.
        if (element.empty())
            boxes[i]->disableWithLabel();
        else
            boxes[i]->setChecked(isOn(element));
    }
    return value.has_value();
}

bool ReadRadioGroup(TParamReader& in, const std::string& path, TControl& group,
                    const ValueList& values) {
    group.setItemIndex(-1);
    const auto value = in.print(path);
    const int k = value ? indexOf(values, *value) : -1;
    if (k < 0 || k >= static_cast<int>(group.items().size())) {
        group.disableWithLabel();
        return false;
    }
    group.enableWithLabel();
    group.setItemIndex(k);
    return true;
}

bool ReadRadioSet(TParamReader& in, const std::string& path, const ControlList& buttons,
                  const ValueList& values) {
    const std::size_t n = countOf(buttons);
    for (std::size_t i = 0; i < n; ++i) {
        buttons[i]->enableWithLabel();
        buttons[i]->setChecked(false);
    }
    const auto value = in.print(path);
    const int k = value ? indexOf(values, *value) : -1;
    if (k < 0 || static_cast<std::size_t>(k) >= n) {
        for (std::size_t i = 0; i < n; ++i)
            buttons[i]->disableWithLabel();
        return false;
    }
    buttons[static_cast<std::size_t>(k)]->setChecked(true);
    return true;
}

bool ReadSpinEdit(TParamReader& in, const std::string& path, TControl& spin) {
    spin.setValue(spin.minimum() + spin.increment());
    const auto value = in.print(path);
    if (!value) {
        spin.disableWithLabel();
        return false;
    }
    spin.enableWithLabel();
    if (IsInteger(*value) && value->size() < 12) {
        const long long v = std::strtoll(value->c_str(), nullptr, 10);
        if (v > spin.minimum() && v < spin.maximum())
            spin.setValue(static_cast<int>(v));
    }
    return true;
}

bool ReadComboBox(TParamReader& in, const std::string& path, const ValueList& values,
                  TControl& combo, const ValueList& captions) {
    combo.setItemIndex(-1);
    const auto value = in.print(path);
    if (!value) {
        combo.disableWithLabel();
        return false;
    }
    combo.enableWithLabel();
    const int k = indexOf(values, *value);
    if (k >= 0 && static_cast<std::size_t>(k) < countOf(captions))
        SelectComboText(combo, captions[static_cast<std::size_t>(k)]);
    return true;
}

bool WriteEdit(TParamSink& out, const std::string& path, const TControl& edit, bool quote) {
    if (!edit.enabled())
        return true;
    return out.set(path, quote ? Quote(edit.text()) : edit.text());
}

bool WriteEditGroup(TParamSink& out, const std::string& path, const ControlList& edits,
                    bool quote) {
    const std::size_t n = countOf(edits);
    std::string value = "{";
    for (std::size_t i = 0; i < n; ++i) {
        // One element short would shift the rest: the list goes whole or not at all.
        if (!edits[i]->enabled())
            return true;
        if (i)
            value += ',';
        value += quote ? Quote(edits[i]->text()) : edits[i]->text();
    }
    return out.set(path, value + "}");
}

bool WriteCheckBox(TParamSink& out, const std::string& path, const TControl& box,
                   const std::string& onValue, const std::string& offValue) {
    if (!box.enabled())
        return true;
    return out.set(path, box.checked() ? onValue : offValue);
}

bool WriteCheckBoxGroup(TParamSink& out, const std::string& path, const ControlList& boxes,
                        const std::string& onValue, const std::string& offValue) {
    const std::size_t n = countOf(boxes);
    std::string value = "{";
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (i)
            value += ',';
        if (!boxes[i]->enabled())
            continue;
        value += boxes[i]->checked() ? onValue : offValue;
        any = true;
    }
    return !any || out.set(path, value + "}");
}

bool WriteRadioGroup(TParamSink& out, const std::string& path, const TControl& group,
                     const ValueList& values) {
    const int k = group.itemIndex();
    if (!group.enabled() || k < 0 || static_cast<std::size_t>(k) >= countOf(values))
        return true;
    return out.set(path, values[static_cast<std::size_t>(k)]);
}

bool WriteRadioSet(TParamSink& out, const std::string& path, const ControlList& buttons,
                   const ValueList& values) {
    const std::size_t n = std::min(countOf(buttons), countOf(values));
    for (std::size_t i = 0; i < n; ++i)
        if (buttons[i]->checked() && buttons[i]->enabled())
            return out.set(path, values[i]);
    return true;
}

bool WriteComboBox(TParamSink& out, const std::string& path, const ValueList& values,
                   const TControl& combo, const ValueList& captions) {
    if (!combo.enabled())
        return true;
    const int k = indexOf(captions, combo.text());
    if (k < 0 || static_cast<std::size_t>(k) >= countOf(values))
        return true;
    return out.set(path, values[static_cast<std::size_t>(k)]);
}

bool WriteSpinEdit(TParamSink& out, const std::string& path, const TControl& spin) {
    if (!spin.enabled())
        return true;
    return out.set(path, std::to_string(spin.value()));
}

bool CheckRange(double low, double high, TControl& control) {
    const std::string& text = control.text();
    if (IsNumber(text)) {
        const double v = std::strtod(text.c_str(), nullptr);
        if (v > low && v < high)
            return true;
    }
    control.setText({});
    control.disableWithLabel();
    return false;
}

void SelectComboText(TControl& combo, const std::string& text) {
    int found = -1;
    for (std::size_t i = 0; i < combo.items().size(); ++i)
        if (combo.items()[i] == text) {
            found = static_cast<int>(i);
            break;
        }
    combo.setItemIndex(found);
}

} // namespace telvor
