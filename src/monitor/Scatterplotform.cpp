#include "monitor/Scatterplotform.h"

#include "monitor/Monitor.h"
#include "monitor/Plotdata.h"
#include "monitor/Rasterform.h"
#include "settings/Profile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace telvor {
namespace {

constexpr const TBoolKey* kShowKeys[4] = {&keys::ScatterSA, &keys::ScatterCD, &keys::ScatterFL,
                                          &keys::ScatterFX};

void drawOps(TRaster& raster, const TScatterState::TOps& ops) {
    if (ops.previous)
        raster.dot(ops.previous->at, rgbOf(ops.previous->colour));
    // A line that ends where it starts lies under the newest dot drawn next.
    if (ops.line && !(ops.newest && ops.line->first == ops.line->second))
        raster.line(ops.line->first, ops.line->second, rgbOf(ops.lineColour));
    if (ops.newest)
        raster.dot(ops.newest->at, rgbOf(ops.newest->colour));
}

} // namespace

TScatterPlot::TScatterPlot(const TPlotData& data, QWidget* parent)
    : TBasicPlot(parent), data_(data) {
    setObjectName("ScatterPlot");
}

namespace {

// The grid, the axes and their labels, before the points go on top.
void paintGrid(QImage& bitmap, const TScatterGrid& grid) {
    const int w = bitmap.width(), h = bitmap.height();
    QPainter p(&bitmap);
    p.setPen(colourOf(kGridColour));
    for (int x : grid.xs)
        p.drawLine(x, 0, x, h - 1);
    for (int y : grid.ys)
        p.drawLine(0, y, w - 1, y);
    const int cx = w / 2, cy = h / 2;
    p.setPen(Qt::black);
    p.drawLine(0, cy, w - 1, cy);
    p.drawLine(cx, 0, cx, h - 1);
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    QFontMetrics fm(font);
    // Tick marks on both axes; a label only where it does not run into the previous one.
    int lastRight = -1000;
    for (const auto& t : grid.xTicks) {
        p.drawLine(t.pixel, cy - 3, t.pixel, cy + 3);
        QString text = QString::fromStdString(t.text);
        int tw = fm.horizontalAdvance(text), x = t.pixel - tw / 2;
        if (t.pixel == cx || x < lastRight + 4 || x < 0 || x + tw > w)
            continue;
        p.drawText(x, cy + 4 + fm.ascent(), text);
        lastRight = x + tw;
    }
    int lastBottom = -1000;
    std::vector<TAxisTick> ys = grid.yTicks;
    std::sort(ys.begin(), ys.end(),
              [](const TAxisTick& a, const TAxisTick& b) { return a.pixel < b.pixel; });
    for (const auto& t : ys) {
        p.drawLine(cx - 3, t.pixel, cx + 3, t.pixel);
        int top = t.pixel - fm.height() / 2;
        if (t.pixel == cy || top < lastBottom || top < 0 || top + fm.height() > h)
            continue;
        p.drawText(cx + 5, top + fm.ascent(), QString::fromStdString(t.text));
        lastBottom = top + fm.height();
    }
}

} // namespace

void TScatterPlot::drawBackground() {
    state_.setPixelSize(bitmap_.width(), bitmap_.height());
    const std::uint64_t revision = data_.positionRevision();
    const bool known =
        tallyKnown_ && tallyRevision_ == revision && tallyShow_ == state_.settings().show;
    const TScatterState::TTally kept = state_.tally();
    state_.clear();
    if (bitmap_.isNull())
        return;
    paintGrid(bitmap_, scatterGrid(state_));
    TRaster raster(bitmap_);
    auto dot = [&](TPoint at, std::uint32_t colour) { raster.dot(at, rgbOf(colour)); };
    auto line = [&](TPoint from, TPoint to, std::uint32_t colour) {
        raster.line(from, to, rgbOf(colour));
    };
    data_.visitPositions([&](const TPositionEntry* entries, std::size_t count) {
        state_.replayPiece(entries, count, !known, dot, line);
    });
    state_.endReplay(dot);
    if (known)
        state_.setTally(kept);
    tallyKnown_ = true;
    tallyRevision_ = revision;
    tallyShow_ = state_.settings().show;
}

void TScatterPlot::addPoints(const std::vector<TPositionEntry>& entries) {
    if (entries.empty())
        return;
    // The tally now counts points the history may have let go.
    tallyKnown_ = false;
    TRaster raster(bitmap_);
    for (const auto& e : entries)
        drawOps(raster, state_.addPoint(e));
    update();
}

// ---------------------------------------------------------------------------------------------

TScatterPlotForm::TScatterPlotForm(TMonitor& monitor, TProfile* profile, QWidget* parent)
    : TBasicPlotForm("ScatterPlotForm", "Scatter", profile, parent), monitor_(monitor),
      data_(monitor.plotData()) {
    resize(640, 460);
    setUpPlot();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(plot_, 1);
    layout->addWidget(buildPanel());
    setSettings(plot_->state().settings());
    refreshStatistics();
}

TBasicPlot* TScatterPlotForm::createPlot() {
    plot_ = new TScatterPlot(data_, this);
    return plot_;
}

QWidget* TScatterPlotForm::buildPanel() {
    auto* panel = new QWidget;
    panel->setObjectName("StatisticsPanel");
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(4, 0, 0, 0);
    grid->setVerticalSpacing(2);
    int row = 0;
    auto value = [&](const char* caption, const char* name) {
        grid->addWidget(new QLabel(caption), row, 0);
        auto* l = new QLabel;
        l->setObjectName(name);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(l, row++, 1);
    };
    value("Max. East:", "MaxETTLabel");
    value("Max. North:", "MaxNTTLabel");
    value("Avg. East:", "AvgETTLabel");
    value("Avg. North:", "AvgNTTLabel");
    value("Points:", "TotalLabel");
    static const char* const captions[4] = {"Standalone", "Code differential", "RTK float",
                                            "RTK fixed"};
    const TScatterSettings& s = plot_->state().settings();
    for (int c = 0; c < 4; ++c) {
        auto* box = new QCheckBox(captions[c]);
        box->setObjectName(QString(kFixClassKeys[c]) + "CheckBox");
        box->setChecked(s.show[c]);
        box->setMinimumSize(box->sizeHint());
        classBoxes_[static_cast<std::size_t>(c)] = box;
        auto* swatch = new QLabel;
        swatch->setFixedSize(10, 10);
        swatch->setAutoFillBackground(true);
        swatches_[static_cast<std::size_t>(c)] = swatch;
        auto* cell = new QHBoxLayout;
        cell->addWidget(swatch);
        cell->addWidget(box, 1);
        grid->addLayout(cell, row, 0);
        auto* l = new QLabel;
        l->setObjectName(QString(kFixClassKeys[c]) + "Label");
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(l, row++, 1);
        connect(box, &QCheckBox::clicked, this, [this, c](bool on) { classClick(c, on); });
    }
    value("Latitude:", "PosLatLabel");
    value("Longitude:", "PosLonLabel");
    value("Height:", "PosAltLabel");
    value("RMS hor. pos.:", "RMShposLabel");
    value("RMS vert. pos.:", "RMSvposLabel");
    value("RMS pos.:", "RMSPosLabel");
    value("RMS hor. vel.:", "RMShvelLabel");
    value("RMS vert. vel.:", "RMSvvelLabel");
    value("RMS vel.:", "RMSVelLabel");
    grid->setRowStretch(row++, 1);
    auto button = [&](const char* caption, const char* name) {
        auto* b = new QPushButton(caption);
        b->setObjectName(name);
        grid->addWidget(b, row++, 0, 1, 2);
        return b;
    };
    connect(button("Clear", "ClearButton"), &QPushButton::clicked, this,
            &TScatterPlotForm::clearClick);
    connect(button("Fit all points", "FitButton"), &QPushButton::clicked, this,
            &TScatterPlotForm::fitClick);
    connect(button("Target to average", "AverageButton"), &QPushButton::clicked, this,
            &TScatterPlotForm::averageClick);
    connect(button("Preferences", "PrefsButton"), &QPushButton::clicked, this, [this] {
        if (onPrefs_)
            onPrefs_();
    });
    panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return panel;
}

void TScatterPlotForm::setSettings(const TScatterSettings& settings) {
    plot_->state().setSettings(settings);
    for (std::size_t c = 0; c < 4; ++c) {
        classBoxes_[c]->setChecked(settings.show[c]);
        QPalette p = swatches_[c]->palette();
        p.setColor(QPalette::Window, colourOf(settings.colours[c]));
        swatches_[c]->setPalette(p);
    }
}

void TScatterPlotForm::addPoints(const std::vector<TPositionEntry>& entries) {
    plot_->addPoints(entries);
    refreshStatistics();
}

void TScatterPlotForm::refreshStatistics() {
    for (const auto& [name, text] : scatterStatistics(plot_->state(), data_))
        if (auto* label = findChild<QLabel*>(QString::fromStdString(name)))
            label->setText(QString::fromStdString(text));
}

void TScatterPlotForm::redrawPlot() {
    plot_->redraw();
    refreshStatistics();
}

void TScatterPlotForm::fitClick() {
    auto width = fitWidth(plot_->state(), data_.positionHistory());
    if (!width)
        return;
    TScatterSettings s = plot_->state().settings();
    s.width = *width;
    plot_->state().setSettings(s);
    if (profile_)
        profile_->write(keys::ScatterWidth, s.width);
    redrawPlot();
}

void TScatterPlotForm::averageClick() {
    const TScatterState& s = plot_->state();
    if (s.count() == 0)
        return;
    const TTargetPoint& t = monitor_.target();
    TTargetMove m = targetToAverage(t.lat, t.lon, s.meanEast(), s.meanNorth());
    // The monitor re-bases the store, saves the target and has the plots redrawn.
    monitor_.setTarget(m.lat, m.lon);
}

void TScatterPlotForm::clearClick() {
    data_.resetPositions();
    redrawPlot();
    if (onCleared_)
        onCleared_();
}

void TScatterPlotForm::classClick(int fixClass, bool on) {
    TScatterSettings s = plot_->state().settings();
    s.show[fixClass] = on;
    plot_->state().setSettings(s);
    if (profile_)
        profile_->write(*kShowKeys[fixClass], on);
    redrawPlot();
}

} // namespace telvor
