#include "config/Sheetform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace telvor {
namespace {

QString captionOf(const TControl& c, const TCaptions& captions) {
    auto it = captions.find(c.name());
    return it != captions.end() ? it->second : QString::fromStdString(c.name());
}

QWidget* make(const TControl& c, const TCaptions& captions, QWidget* parent) {
    const QString text = captionOf(c, captions);
    QWidget* w = nullptr;
    switch (c.kind()) {
    case TControlKind::Edit:
        w = new QLineEdit(parent);
        break;
    case TControlKind::CheckBox:
        w = new QCheckBox(text, parent);
        break;
    case TControlKind::RadioButton:
        w = new QRadioButton(text, parent);
        break;
    case TControlKind::RadioGroup:
        w = new QGroupBox(text, parent);
        break;
    case TControlKind::ComboBox:
        w = new QComboBox(parent);
        break;
    case TControlKind::SpinEdit:
        w = new QSpinBox(parent);
        break;
    case TControlKind::Label:
        w = new QLabel(text, parent);
        break;
    case TControlKind::Button:
        w = new QPushButton(text, parent);
        break;
    }
    w->setObjectName(QString::fromStdString(c.name()));
    return w;
}

// Asks for room for the whole sheet, where a plain scroll area asks for a fixed part of the
// screen: a window sized to its pages shows them whole, and still scrolls on a smaller screen.
class TSheetScroll : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

} // namespace

void buildSheet(QWidget* sheet, const std::vector<TSheetGroup>& groups, const TCaptions& captions,
                int columns) {
    auto* outer = new QVBoxLayout(sheet);
    auto* scroll = new TSheetScroll(sheet);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto* inner = new QWidget;
    auto* grid = new QGridLayout(inner);
    scroll->setWidget(inner);
    int at = 0;
    for (const TSheetGroup& g : groups) {
        QWidget* box = g.title.isEmpty() ? new QWidget(inner) : new QGroupBox(g.title, inner);
        box->setObjectName(g.name);
        auto* layout = new QGridLayout(box);
        int cell = 0;
        for (TControl* c : g.controls) {
            const int row = cell / g.columns, col = (cell % g.columns) * 2;
            if (c->label())
                layout->addWidget(make(*c->label(), captions, box), row, col);
            layout->addWidget(make(*c, captions, box), row, col + 1);
            ++cell;
        }
        if (g.sharesCell && at > 0)
            --at;
        grid->addWidget(box, at / columns, at % columns);
        ++at;
    }
    grid->setRowStretch(grid->rowCount(), 1);
}

} // namespace telvor
