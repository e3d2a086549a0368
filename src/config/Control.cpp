#include "config/Control.h"

namespace telvor {

void TControl::notifyState() {
    if (onState)
        onState();
}

void TControl::changed() {
    notifyState();
    if (onChanged)
        onChanged();
}

void TControl::setEnabled(bool on) {
    if (enabled_ == on)
        return;
    enabled_ = on;
    notifyState();
}

void TControl::disableWithLabel() {
    setEnabled(false);
    if (label_)
        label_->setEnabled(false);
}

void TControl::enableWithLabel() {
    setEnabled(true);
    if (label_)
        label_->setEnabled(true);
}

void TControl::setText(const std::string& text) {
    if (text_ == text)
        return;
    text_ = text;
    // A typed combo text selects the caption it names, or nothing.
    if (kind_ == TControlKind::ComboBox) {
        itemIndex_ = -1;
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == text_)
                itemIndex_ = static_cast<int>(i);
    }
    changed();
}

void TControl::setChecked(bool on) {
    if (checked_ == on)
        return;
    checked_ = on;
    changed();
}

void TControl::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    itemIndex_ = -1;
    if (kind_ == TControlKind::ComboBox)
        text_.clear();
    notifyState();
}

void TControl::setItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size()))
        index = -1;
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    if (kind_ == TControlKind::ComboBox)
        text_ = index < 0 ? std::string() : items_[static_cast<std::size_t>(index)];
    changed();
}

void TControl::setValue(int value) {
    if (value < minimum_)
        value = minimum_;
    if (value > maximum_)
        value = maximum_;
    if (value == value_)
        return;
    value_ = value;
    changed();
}

void TControl::setRange(int minimum, int maximum, int increment) {
    minimum_ = minimum;
    maximum_ = maximum < minimum ? minimum : maximum;
    increment_ = increment;
    notifyState();
    setValue(value_);
}

} // namespace telvor
