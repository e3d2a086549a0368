#pragma once
// A control of a configuration page without its widget: what the binding rules read and set.
// The window mirrors each one onto the widget with the same objectName; tests drive them
// directly.
#include <functional>
#include <string>
#include <vector>

namespace telvor {

enum class TControlKind {
    Edit,
    CheckBox,
    RadioButton,
    RadioGroup,
    ComboBox,
    SpinEdit,
    Label,
    Button
};

class TControl {
public:
    TControl(std::string name, TControlKind kind, TControl* label = nullptr)
        : name_(std::move(name)), kind_(kind), label_(label) {}
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    const std::string& name() const { return name_; }
    TControlKind kind() const { return kind_; }
    TControl* label() const { return label_; }
    void setLabel(TControl* label) { label_ = label; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    // Disables the control and its label: the receiver lacks the parameter.
    void disableWithLabel();
    void enableWithLabel();

    // Edit and label text; a combo box's text (its selected caption, or what was typed).
    const std::string& text() const { return text_; }
    void setText(const std::string& text);

    bool checked() const { return checked_; }
    void setChecked(bool on);

    // Combo box and radio group: the captions and the selection (-1: none).
    const std::vector<std::string>& items() const { return items_; }
    void setItems(std::vector<std::string> items);
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index);

    int value() const { return value_; }
    void setValue(int value);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int increment() const { return increment_; }
    void setRange(int minimum, int maximum, int increment = 1);

    bool focused() const { return focused_; }
    void setFocus() {
        focused_ = true;
        notifyState();
    }
    void clearFocus() { focused_ = false; }

    // A value changed (by the user through the widget, or by a read): change tracking.
    std::function<void()> onChanged;
    // Anything changed: the window copies the state onto its widget.
    std::function<void()> onState;

private:
    void changed();
    void notifyState();

    std::string name_;
    TControlKind kind_;
    TControl* label_;
    bool enabled_ = true;
    std::string text_;
    bool checked_ = false;
    std::vector<std::string> items_;
    int itemIndex_ = -1;
    int value_ = 0, minimum_ = 0, maximum_ = 100, increment_ = 1;
    bool focused_ = false;
};

} // namespace telvor
