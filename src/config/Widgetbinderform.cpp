#include "config/Widgetbinderform.h"

#include "qtglue/Strings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace telvor {
namespace {

// An enabled edit shows the window colour; a disabled one blends into its parent.
void paintBase(QWidget* w, bool enabled) {
    QPalette p = w->palette();
    const QWidget* parent = w->parentWidget();
    const QColor base = enabled ? QPalette().color(QPalette::Base)
                                : (parent ? parent : w)->palette().color(QPalette::Window);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, base);
    w->setPalette(p);
}

// The radio buttons of a group box, in layout order.
QList<QRadioButton*> groupButtons(QWidget* group) {
    return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

TWidgetBinder::TWidgetBinder(QWidget* root) : QObject(root), root_(root) {}

TWidgetBinder::~TWidgetBinder() {
    for (const TLink& link : links_)
        link.control->onState = nullptr;
}

QWidget* TWidgetBinder::widget(const TControl& control) const {
    for (const TLink& link : links_)
        if (link.control == &control)
            return link.widget;
    return nullptr;
}

bool TWidgetBinder::bind(TControl& control) {
    QWidget* w = root_->findChild<QWidget*>(q(control.name()));
    if (!w)
        return false;
    bool fits = false;
    switch (control.kind()) {
    case TControlKind::Edit:
        fits = qobject_cast<QLineEdit*>(w);
        break;
    case TControlKind::CheckBox:
        fits = qobject_cast<QCheckBox*>(w);
        break;
    case TControlKind::RadioButton:
        fits = qobject_cast<QRadioButton*>(w);
        break;
    case TControlKind::RadioGroup:
        fits = qobject_cast<QGroupBox*>(w);
        break;
    case TControlKind::ComboBox:
        fits = qobject_cast<QComboBox*>(w);
        break;
    case TControlKind::SpinEdit:
        fits = qobject_cast<QSpinBox*>(w);
        break;
    case TControlKind::Label:
        fits = true;
        break;
    case TControlKind::Button:
        fits = qobject_cast<QAbstractButton*>(w);
        break;
    }
    if (!fits)
        return false;
    links_.push_back({&control, w});
    const TLink link = links_.back();
    control.onState = [this, link] { push(link); };
    connectWidget(control, w);
    push(link);
    return true;
}

void TWidgetBinder::connectWidget(TControl& control, QWidget* w) {
    TControl* c = &control;
    auto guard = [this](auto f) {
        return [this, f](auto&&... args) {
            if (!pushing_)
                f(args...);
        };
    };
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        connect(edit, &QLineEdit::textEdited, this,
                guard([c](const QString& t) { c->setText(t.toStdString()); }));
    else if (auto* radio = qobject_cast<QRadioButton*>(w))
        connect(radio, &QRadioButton::toggled, this, guard([c](bool on) { c->setChecked(on); }));
    else if (auto* box = qobject_cast<QCheckBox*>(w))
        connect(box, &QCheckBox::toggled, this, guard([c](bool on) { c->setChecked(on); }));
    else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::currentIndexChanged, this,
                guard([c](int index) { c->setItemIndex(index); }));
        if (combo->isEditable())
            connect(combo, &QComboBox::editTextChanged, this,
                    guard([c](const QString& t) { c->setText(t.toStdString()); }));
    } else if (auto* spin = qobject_cast<QSpinBox*>(w))
        connect(spin, &QSpinBox::valueChanged, this, guard([c](int v) { c->setValue(v); }));
}

void TWidgetBinder::push(const TLink& link) {
    QWidget* w = link.widget;
    if (!w)
        return;
    TControl& c = *link.control;
    const bool outer = pushing_;
    pushing_ = true;
    w->setEnabled(c.enabled());
    switch (c.kind()) {
    case TControlKind::Edit: {
        auto* edit = static_cast<QLineEdit*>(w);
        if (edit->text() != q(c.text()))
            edit->setText(q(c.text()));
        paintBase(w, c.enabled());
        break;
    }
    case TControlKind::CheckBox:
        static_cast<QCheckBox*>(w)->setChecked(c.checked());
        break;
    case TControlKind::RadioButton: {
        auto* radio = static_cast<QRadioButton*>(w);
        // An exclusive button cannot be unchecked by itself.
        const bool exclusive = radio->autoExclusive();
        radio->setAutoExclusive(false);
        radio->setChecked(c.checked());
        radio->setAutoExclusive(exclusive);
        break;
    }
    case TControlKind::RadioGroup: {
        auto buttons = groupButtons(w);
        if (buttons.size() != static_cast<qsizetype>(c.items().size())) {
            qDeleteAll(buttons);
            auto* layout = w->layout() ? w->layout() : new QVBoxLayout(w);
            for (const std::string& item : c.items()) {
                auto* b = new QRadioButton(q(item), w);
                layout->addWidget(b);
                connect(b, &QRadioButton::toggled, this, [this, &c, b, w](bool on) {
                    if (!pushing_ && on)
                        c.setItemIndex(static_cast<int>(groupButtons(w).indexOf(b)));
                });
            }
            buttons = groupButtons(w);
        }
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            buttons[i]->setAutoExclusive(false);
            buttons[i]->setChecked(i == c.itemIndex());
            buttons[i]->setAutoExclusive(true);
        }
        break;
    }
    case TControlKind::ComboBox: {
        auto* combo = static_cast<QComboBox*>(w);
        QStringList items;
        for (const std::string& item : c.items())
            items << q(item);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        if (shown != items) {
            combo->clear();
            combo->addItems(items);
        }
        combo->setCurrentIndex(c.itemIndex());
        if (combo->isEditable() && combo->currentText() != q(c.text()))
            combo->setEditText(q(c.text()));
        paintBase(w, c.enabled());
        break;
    }
    case TControlKind::SpinEdit: {
        auto* spin = static_cast<QSpinBox*>(w);
        spin->setRange(c.minimum(), c.maximum());
        spin->setSingleStep(c.increment());
        spin->setValue(c.value());
        break;
    }
    case TControlKind::Label:
        if (auto* label = qobject_cast<QLabel*>(w); label && !c.text().empty())
            label->setText(q(c.text()));
        break;
    case TControlKind::Button:
        if (!c.text().empty())
            static_cast<QAbstractButton*>(w)->setText(q(c.text()));
        break;
    }
    if (c.focused()) {
        c.clearFocus();
        w->setFocus();
    }
    pushing_ = outer;
}

} // namespace telvor
