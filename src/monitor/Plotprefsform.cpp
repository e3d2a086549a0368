#include "monitor/Plotprefsform.h"

#include "monitor/Plotdata.h"
#include "monitor/Rasterform.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace telvor {
namespace {

constexpr const char* kClassCaptions[4] = {"Standalone", "Code differential", "RTK float",
                                           "RTK fixed"};

QCheckBox* checkBox(const char* caption, const char* name, bool on) {
    auto* box = new QCheckBox(caption);
    box->setObjectName(name);
    box->setChecked(on);
    return box;
}

} // namespace

TPlotPrefsForm::TPlotPrefsForm(const TPlotPrefsInput& in, Applier apply, QWidget* parent)
    : QDialog(parent), apply_(std::move(apply)), colours_(in.colours) {
    setObjectName("PlotPrefsForm");
    setWindowTitle("Plots Configuration");
    notify_ = [this](const std::string& message) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(message));
    };
    auto* layout = new QVBoxLayout(this);

    auto* scatter = new QGroupBox("Scatter plot");
    auto* sg = new QGridLayout(scatter);
    width_ = addEdit(sg, 0, "Plot width:", "PlotWidthEdit", in.plotWidth, "(m)");
    step_ = addEdit(sg, 1, "Tick interval:", "TickIntervalEdit", in.tickInterval, "(m)");
    scatterGrid_ = checkBox("Show grid", "ScatterGridCheckBox", in.scatterGrid);
    connect_ = checkBox("Connect points", "ConnectCheckBox", in.connect);
    sg->addWidget(scatterGrid_, 2, 0, 1, 3);
    sg->addWidget(connect_, 3, 0, 1, 3);
    for (int c = 0; c < 4; ++c) {
        const std::string key = kFixClassKeys[c];
        auto* box = checkBox(kClassCaptions[c], (key + "CheckBox").c_str(), in.show[c]);
        auto* swatch = new QPushButton;
        swatch->setObjectName(QString::fromStdString("Color" + key + "Button"));
        swatch->setFixedSize(32, 16);
        show_[static_cast<std::size_t>(c)] = box;
        swatches_[static_cast<std::size_t>(c)] = swatch;
        sg->addWidget(box, 4 + c, 0, 1, 2);
        sg->addWidget(swatch, 4 + c, 2);
        showColour(c);
        connect(swatch, &QPushButton::clicked, this, [this, c] { pickColour(c); });
        connect(box, &QCheckBox::toggled, this, &TPlotPrefsForm::changed);
    }
    layout->addWidget(scatter);

    auto* position = new QGroupBox("Position plot");
    auto* pg = new QGridLayout(position);
    span_ = addEdit(pg, 0, "Time interval:", "TimeIntervalEdit", in.timeInterval, "(s)");
    maxDev_ =
        addEdit(pg, 1, "Max. deviation:", "MaxDeviationEdit", in.maxDeviation, "(m, 0 for auto)");
    timeStep_ = addEdit(pg, 2, "Time step:", "TimeStepEdit", in.timeStep, "(s)");
    devStep_ = addEdit(pg, 3, "Deviation step:", "DeviationStepEdit", in.deviationStep, "(m)");
    positionGrid_ = checkBox("Show grid", "PositionGridCheckBox", in.positionGrid);
    pg->addWidget(positionGrid_, 4, 0, 1, 3);
    layout->addWidget(position);

    auto* hg = new QGridLayout;
    history_ = addEdit(hg, 0, "History length:", "HistoryLengthEdit", in.historyLength, "(points)");
    layout->addLayout(hg);

    for (QCheckBox* box : {scatterGrid_, connect_, positionGrid_})
        connect(box, &QCheckBox::toggled, this, &TPlotPrefsForm::changed);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton("OK");
    ok->setObjectName("OKButton");
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("CancelButton");
    applyButton_ = new QPushButton("Apply");
    applyButton_->setObjectName("ApplyButton");
    applyButton_->setEnabled(false);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(applyButton_);
    layout->addLayout(buttons);
    connect(applyButton_, &QPushButton::clicked, this, &TPlotPrefsForm::applyClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (!applyButton_->isEnabled() || applyClick())
            accept();
    });
}

QLineEdit* TPlotPrefsForm::addEdit(QGridLayout* grid, int row, const char* caption,
                                   const char* name, const std::string& text, const char* unit) {
    auto* edit = new QLineEdit(QString::fromStdString(text));
    edit->setObjectName(name);
    grid->addWidget(new QLabel(caption), row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(new QLabel(unit), row, 2);
    connect(edit, &QLineEdit::textEdited, this, &TPlotPrefsForm::changed);
    return edit;
}

void TPlotPrefsForm::changed() {
    applyButton_->setEnabled(true);
}

void TPlotPrefsForm::showColour(int c) {
    QColor colour = colourOf(colours_[static_cast<std::size_t>(c)]);
    swatches_[static_cast<std::size_t>(c)]->setStyleSheet(
        QString("background-color: %1; border: 1px solid black;").arg(colour.name()));
}

void TPlotPrefsForm::pickColour(int c) {
    auto& colour = colours_[static_cast<std::size_t>(c)];
    QColor picked = QColorDialog::getColor(colourOf(colour), this, kClassCaptions[c]);
    if (!picked.isValid())
        return;
    colour = static_cast<std::uint32_t>(picked.blue()) << 16 |
             static_cast<std::uint32_t>(picked.green()) << 8 |
             static_cast<std::uint32_t>(picked.red());
    showColour(c);
    changed();
}

TPlotPrefsInput TPlotPrefsForm::input() const {
    TPlotPrefsInput in;
    in.plotWidth = width_->text().toStdString();
    in.tickInterval = step_->text().toStdString();
    in.scatterGrid = scatterGrid_->isChecked();
    in.connect = connect_->isChecked();
    for (std::size_t c = 0; c < 4; ++c)
        in.show[c] = show_[c]->isChecked();
    in.colours = colours_;
    in.timeInterval = span_->text().toStdString();
    in.maxDeviation = maxDev_->text().toStdString();
    in.timeStep = timeStep_->text().toStdString();
    in.deviationStep = devStep_->text().toStdString();
    in.positionGrid = positionGrid_->isChecked();
    in.historyLength = history_->text().toStdString();
    return in;
}

bool TPlotPrefsForm::applyClick() {
    TPlotPrefsResult r = validatePlotPrefs(input());
    if (!r.prefs) {
        if (notify_)
            notify_(r.error);
        return false;
    }
    // Show the values as they were taken (time values raised to at least 1).
    span_->setText(QString::number(r.prefs->strips.maxX));
    timeStep_->setText(QString::number(r.prefs->strips.gridX));
    history_->setText(QString::number(r.prefs->historyLength));
    if (apply_)
        apply_(*r.prefs);
    applyButton_->setEnabled(false);
    return true;
}

} // namespace telvor
