#include "monitor/Positionplotform.h"

#include "monitor/Numformat.h"
#include "monitor/Plotdata.h"
#include "monitor/Rasterform.h"
#include "monitor/Thinning.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace telvor {

TPositionPlot::TPositionPlot(const TPlotData& data, QWidget* parent)
    : TBasicPlot(parent), data_(data), colours_(kDefaultClassColours) {
    setObjectName("PositionPlot");
}

void TPositionPlot::setSettings(const TStripSettings& settings,
                                const std::array<std::uint32_t, 4>& colours) {
    settings_ = settings;
    colours_ = colours;
}

void TPositionPlot::forgetOld(std::uint32_t now) {
    const std::uint32_t span = static_cast<std::uint32_t>(std::max(1, settings_.maxX));
    while (first_ < recent_.size() && recent_[first_].time + span < now)
        ++first_;
    // Entries before the span draw nothing and break no joins, so dropping them lazily
    // changes nothing on the screen.
    if (first_ > 1024 && first_ * 2 > recent_.size()) {
        recent_.erase(recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(first_));
        first_ = 0;
    }
}

void TPositionPlot::reload() {
    recent_.clear();
    first_ = 0;
    // The history is in time order: only the part inside the span is kept, found by a search
    // in each piece.
    const std::uint32_t now = data_.timeStamp();
    const std::uint32_t span = static_cast<std::uint32_t>(std::max(1, settings_.maxX));
    data_.visitPositions([&](const TPositionEntry* entries, std::size_t count) {
        const TPositionEntry* end = entries + count;
        const TPositionEntry* from =
            std::lower_bound(entries, end, now, [&](const TPositionEntry& e, std::uint32_t t) {
                return e.time + span < t;
            });
        recent_.insert(recent_.end(), from, end);
    });
    redraw();
}

void TPositionPlot::append(const std::vector<TPositionEntry>& entries) {
    recent_.insert(recent_.end(), entries.begin(), entries.end());
    forgetOld(data_.timeStamp());
}

void TPositionPlot::drawBackground() {
    if (bitmap_.isNull())
        return;
    const std::uint32_t now = data_.timeStamp();
    forgetOld(now);

    QPainter p(&bitmap_);
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    QFontMetrics fm(font);
    // Room under the strips for the time labels.
    const int w = bitmap_.width(), h = std::max(0, bitmap_.height() - fm.height());
    const TStripLabelRoom room{labelColumn(fm, now), fm.height()};
    // Each strip from a history thinned for its own values: same picture, far fewer pieces
    // when the span holds many fixes per column.
    TStripPlot layout = computeStrips(settings_, w, h, {}, now, colours_, room);
    TStripPlot plot = computeStrips(
        settings_, w, h, thinForStrip(recent_, first_, settings_, layout.upper.area, now, true),
        now, colours_, room);
    plot.lower =
        computeStrips(settings_, w, h,
                      thinForStrip(recent_, first_, settings_, layout.lower.area, now, false), now,
                      colours_, room)
            .lower;
    const QColor grey = colourOf(kGridColour);
    for (const TStrip* s : {&plot.upper, &plot.lower}) {
        const TRect& a = s->area;
        if (a.width() <= 0 || a.height() <= 0)
            continue;
        p.setPen(grey);
        for (int x : s->gridXs)
            p.drawLine(x, a.top, x, a.bottom);
        for (int y : s->gridYs)
            p.drawLine(a.left, y, a.right, y);
        // Zero through the middle; the time ticks on the lower edge.
        const int mid = (a.top + a.bottom) / 2;
        p.setPen(Qt::black);
        p.drawLine(a.left, mid, a.right, mid);
        for (const auto& t : plot.timeLabels)
            p.drawLine(t.pixel, a.bottom - 3, t.pixel, a.bottom);
        p.drawRect(a.left, a.top, a.width(), a.height());
        p.drawText(a.left + 4, a.top + 2 + fm.ascent(), QString::fromStdString(s->title));
        // Scale labels in the column right of the strip, beside their lines; one that would
        // still touch the one above (a tiny strip) is left out.
        int lastBottom = -1000;
        std::vector<TAxisTick> labels = s->scaleLabels;
        std::sort(labels.begin(), labels.end(),
                  [](const TAxisTick& x, const TAxisTick& y) { return x.pixel < y.pixel; });
        for (const auto& l : labels) {
            int top = std::clamp(l.pixel - fm.height() / 2, a.top - 4, a.bottom + 4 - fm.height());
            if (top < lastBottom)
                continue;
            p.drawLine(a.right, l.pixel, a.right + 3, l.pixel);
            p.drawText(a.right + 5, top + fm.ascent(), QString::fromStdString(l.text));
            lastBottom = top + fm.height();
        }
    }
    // Time labels under the lower strip; the unit follows the last one.
    const int below = plot.lower.area.bottom + 1;
    for (std::size_t i = 0; i < plot.timeLabels.size(); ++i) {
        const auto& t = plot.timeLabels[i];
        QString text = QString::fromStdString(t.text);
        if (i + 1 == plot.timeLabels.size())
            text += " " + QString::fromStdString(plot.timeUnit);
        int w = fm.horizontalAdvance(text);
        int x = i == 0                            ? t.pixel + 2
                : i + 1 == plot.timeLabels.size() ? t.pixel - w - 2
                                                  : t.pixel - w / 2;
        p.drawText(x, below + fm.ascent(), text);
    }
    p.end();

    TRaster raster(bitmap_);
    for (const TStrip* s : {&plot.upper, &plot.lower}) {
        const TRect& a = s->area;
        raster.setClip(QRect(a.left, a.top, a.width() + 1, a.height() + 1));
        for (const auto& piece : s->pieces) {
            QRgb c = rgbOf(piece.colour);
            if (piece.pixel)
                raster.pixel(piece.to.x, piece.to.y, c);
            else
                raster.line(piece.from, piece.to, c);
        }
    }
}

// Wide enough for the widest scale label either strip can get (the largest step multiple
// within the scale, negative), and a gap on each side.
int TPositionPlot::labelColumn(const QFontMetrics& fm, std::uint32_t now) const {
    const TPositionEntry* begin = recent_.data() + first_;
    const TPositionEntry* end = recent_.data() + recent_.size();
    const double scale = std::max(stripScale(settings_, begin, end, now, true),
                                  stripScale(settings_, begin, end, now, false));
    const double step = settings_.gridY > 0 ? settings_.gridY : 1;
    // Beyond one step per pixel only "0" is labelled.
    const bool stepsLabelled = std::isfinite(scale) && scale / step <= bitmap_.height();
    const double widest = stepsLabelled ? std::floor(scale / step) * step : 0;
    const int decimals = stripLabelDecimals(settings_.gridY);
    const int text =
        fm.horizontalAdvance(QString::fromStdString(formatFixed(-widest, 10, decimals)));
    return std::min(text + 8, bitmap_.width() / 3);
}

TPositionPlotForm::TPositionPlotForm(TPlotData& data, TProfile* profile, QWidget* parent)
    : TBasicPlotForm("PositionPlotForm", "Position", profile, parent), data_(data),
      timer_(new QTimer(this)) {
    resize(520, 420);
    setUpPlot();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(plot_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* prefs = new QPushButton("Preferences");
    prefs->setObjectName("PrefsButton");
    row->addWidget(prefs);
    layout->addLayout(row);
    connect(prefs, &QPushButton::clicked, this, [this] {
        if (onPrefs_)
            onPrefs_();
    });

    timer_->setObjectName("RepaintTimer");
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (onTimer_)
            onTimer_();
    });
    timer_->start();
}

TBasicPlot* TPositionPlotForm::createPlot() {
    plot_ = new TPositionPlot(data_, this);
    return plot_;
}

void TPositionPlotForm::showEvent(QShowEvent* event) {
    TBasicPlotForm::showEvent(event);
    plot_->redraw();
}

} // namespace telvor
