#include "monitor/Satellitesplotform.h"

#include "monitor/Elevationmaskform.h"
#include "monitor/Maskrules.h"
#include "monitor/Plotdata.h"
#include "monitor/Rasterform.h"
#include "qtglue/Strings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace telvor {
namespace {

// The hint sits a little below and right of the cursor so the marker stays visible.
const QPoint kHintOffset(12, 12);

void setSwatch(QLabel* label, std::uint32_t colour) {
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colourOf(colour));
    label->setPalette(p);
}

// Blue bar with a white cover from the top: the blue part grows with the C/A value.
class TSignalBarWidget : public QWidget {
public:
    explicit TSignalBarWidget(QWidget* parent = nullptr) : QWidget(parent) { setFixedSize(12, 48); }
    void setValue(int ca) {
        if (ca != ca_) {
            ca_ = ca;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        int top = 0, bottom = height() - 1;
        p.fillRect(rect(), Qt::blue);
        int cover = barCoverBottom(ca_, top, bottom);
        p.fillRect(QRect(0, top, width(), cover - top), Qt::white);
        p.setPen(Qt::black);
        p.drawRect(0, 0, width() - 1, height() - 1);
    }

private:
    int ca_ = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------

TSatelliteHintForm::TSatelliteHintForm(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::WindowStaysOnTopHint) {
    setObjectName("SatelliteHintForm");
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(255, 255, 225));
    setPalette(p);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(1);
    auto add = [&](int row, const char* caption, const char* name) {
        auto* c = new QLabel(caption);
        auto* v = new QLabel;
        v->setObjectName(name);
        grid->addWidget(c, row, 0);
        grid->addWidget(v, row, 1);
        return c;
    };
    auto* sn = new QLabel;
    sn->setObjectName("SnLabel");
    QFont f = sn->font();
    f.setBold(true);
    sn->setFont(f);
    grid->addWidget(sn, 0, 0, 1, 2);
    fnCaption_ = add(1, "Fn", "FnLabel");
    add(2, "EL", "ELLabel");
    add(3, "AZ", "AZLabel");
    add(4, "CA", "CALabel");
    add(5, "P1", "P1Label");
    add(6, "P2", "P2Label");
    add(7, "SS", "SSLabel");
    auto* status = new QLabel;
    status->setObjectName("StatusLabel");
    status->setWordWrap(true);
    status->setMaximumWidth(260);
    grid->addWidget(status, 8, 0, 1, 2);
}

void TSatelliteHintForm::showFor(const TSkyTracks& tracks, int index, const QPoint& globalPos) {
    auto* fn = findChild<QLabel*>("FnLabel");
    bool glonass = isGlonassIndex(index);
    fnCaption_->setVisible(glonass);
    fn->setVisible(glonass);
    for (const auto& [name, text] : satelliteHint(tracks, index))
        if (auto* label = findChild<QLabel*>(q(name)))
            label->setText(q(text));
    auto* sn = findChild<QLabel*>("SnLabel");
    QPalette p = sn->palette();
    p.setColor(QPalette::WindowText, colourOf(satelliteColour(index)));
    sn->setPalette(p);
    adjustSize();
    move(globalPos + kHintOffset);
    show();
    raise();
}

// ---------------------------------------------------------------------------------------------

TSatellitesPlot::TSatellitesPlot(const TPlotData& data, QWidget* parent)
    : TBasicPlot(parent), data_(data), hint_(new TSatelliteHintForm(this)) {
    setObjectName("SatellitesPlot");
    setMinimumSize(120, 120);
}

void TSatellitesPlot::drawBackground() {
    TSkyGeometry g = TSkyGeometry::forSize(bitmap_.width(), bitmap_.height());
    if (!bitmap_.isNull()) {
        QPainter p(&bitmap_);
        const QPoint c(g.cx, g.cy);
        p.setPen(Qt::black);
        p.drawLine(g.cx - g.radius, g.cy, g.cx + g.radius, g.cy);
        p.drawLine(g.cx, g.cy - g.radius, g.cx, g.cy + g.radius);
        p.drawEllipse(c, g.radius, g.radius);
        const QColor grey = colourOf(kGridColour);
        p.setPen(grey);
        for (int e = 10; e <= 80; e += 10)
            p.drawEllipse(c, g.radiusAt(e), g.radiusAt(e));
        QFont font = p.font();
        font.setPixelSize(10);
        p.setFont(font);
        QFontMetrics fm(font);
        auto width = [&](const std::string& t) { return fm.horizontalAdvance(q(t)); };
        for (const auto& label : skyGridLabels(g, width)) {
            p.drawText(label.right.x, label.right.y + fm.ascent(), q(label.text));
            p.drawText(label.left.x, label.left.y + fm.ascent(), q(label.text));
        }
    }
    tracks_.setGeometry(g);
    if (bitmap_.isNull()) {
        tracks_.replay(data_.satelliteHistory(), [](const TSkyTracks::TStroke&) {});
        return;
    }
    TRaster raster(bitmap_);
    tracks_.replay(data_.satelliteHistory(),
                   [&](const TSkyTracks::TStroke& s) { drawStroke(raster, s); });
}

void TSatellitesPlot::drawStroke(TRaster& raster, const TSkyTracks::TStroke& s) {
    if (s.pixel)
        raster.pixel(s.to.x, s.to.y, rgbOf(s.colour));
    else
        raster.line(s.from, s.to, rgbOf(s.colour));
}

void TSatellitesPlot::drawStrokes(const std::vector<TSkyTracks::TStroke>& strokes) {
    if (bitmap_.isNull())
        return;
    TRaster raster(bitmap_);
    for (const auto& s : strokes)
        drawStroke(raster, s);
}

void TSatellitesPlot::addViews(const std::vector<TSatData>& views) {
    std::vector<TSkyTracks::TStroke> strokes;
    bool moved = false;
    for (const auto& v : views)
        moved |= tracks_.apply(v, &strokes);
    drawStrokes(strokes);
    if (moved || !strokes.empty())
        update();
}

void TSatellitesPlot::paintOverlay(QPainter& p) {
    const TSkyGeometry& g = tracks_.geometry();
    QPen mask(colourOf(kMaskColour));
    mask.setStyle(Qt::DotLine);
    p.setPen(mask);
    p.setBrush(Qt::NoBrush);
    int r = g.maskRadius(data_.elevationMask());
    p.drawEllipse(QPoint(g.cx, g.cy), r, r);

    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    QFontMetrics fm(font);
    for (int index : tracks_.markers()) {
        const TPoint& at = tracks_.state(index).position;
        QColor colour = colourOf(satelliteColour(index));
        p.setPen(QPen(colour, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPoint(at.x, at.y), 4, 4);
        p.setPen(colour);
        p.setBrush(colour);
        // GPS wings left and right, GLONASS above and below.
        QPolygon a, b;
        if (isGlonassIndex(index)) {
            a << QPoint(at.x - 3, at.y - 6) << QPoint(at.x + 3, at.y - 6) << QPoint(at.x, at.y - 9);
            b << QPoint(at.x - 3, at.y + 6) << QPoint(at.x + 3, at.y + 6) << QPoint(at.x, at.y + 9);
        } else {
            a << QPoint(at.x - 6, at.y - 3) << QPoint(at.x - 6, at.y + 3) << QPoint(at.x - 9, at.y);
            b << QPoint(at.x + 6, at.y - 3) << QPoint(at.x + 6, at.y + 3) << QPoint(at.x + 9, at.y);
        }
        p.drawPolygon(a);
        p.drawPolygon(b);
        QString name = q(satelliteName(index));
        p.drawText(at.x - fm.horizontalAdvance(name) / 2,
                   at.y + TSkyTracks::nameOffset(index) + fm.ascent(), name);
    }
}

void TSatellitesPlot::mousePressEvent(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    auto hit = tracks_.hitTest(at.x(), at.y(), event->button() == Qt::RightButton);
    if (hit)
        hint_->showFor(tracks_, *hit, event->globalPosition().toPoint());
}

void TSatellitesPlot::mouseMoveEvent(QMouseEvent* event) {
    if (hint_->isVisible())
        hint_->move(event->globalPosition().toPoint() + kHintOffset);
}

void TSatellitesPlot::mouseReleaseEvent(QMouseEvent*) {
    hint_->hide();
}

// ---------------------------------------------------------------------------------------------

TSatellitesPlotForm::TSatellitesPlotForm(TPlotData& data, TProfile* profile, TCommandSender sender,
                                         QWidget* parent)
    : TBasicPlotForm("SatellitesPlotForm", "Satellites", profile, parent), data_(data),
      sender_(std::move(sender)) {
    resize(480, 600);
    setUpPlot();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(sky_, 1);
    layout->addWidget(buildBars());
    refreshBars();
    enableControls();
}

TBasicPlot* TSatellitesPlotForm::createPlot() {
    sky_ = new TSatellitesPlot(data_, this);
    return sky_;
}

QWidget* TSatellitesPlotForm::buildBars() {
    auto* panel = new QWidget;
    panel->setObjectName("SignalPanel");
    auto* outer = new QVBoxLayout(panel);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* bars = new QHBoxLayout;
    bars->setSpacing(2);
    QFont small = font();
    small.setPixelSize(9);
    for (int i = 0; i < TSignalPanel::kSlots; ++i) {
        TSlot& s = slots_[static_cast<std::size_t>(i)];
        QString n = QString::number(i + 1);
        s.box = new QWidget;
        s.box->setObjectName("SatSlot" + n);
        s.box->setFixedWidth(22); // room for "G32" and "R24"
        auto* col = new QVBoxLayout(s.box);
        col->setContentsMargins(0, 0, 0, 0);
        col->setSpacing(1);
        s.name = new QLabel;
        s.name->setObjectName("SatName" + n);
        s.bar = new TSignalBarWidget;
        s.bar->setObjectName("SatBar" + n);
        s.ca = new QLabel;
        s.ca->setObjectName("SatCA" + n);
        s.swatch = new QLabel;
        s.swatch->setObjectName("SatColor" + n);
        s.swatch->setFixedSize(12, 8);
        s.swatch->setAutoFillBackground(true);
        s.check = new QCheckBox;
        s.check->setObjectName("SatCheck" + n);
        for (QWidget* w : {static_cast<QWidget*>(s.name), static_cast<QWidget*>(s.ca)})
            w->setFont(small);
        for (QWidget* w : {static_cast<QWidget*>(s.name), s.bar, static_cast<QWidget*>(s.ca),
                           static_cast<QWidget*>(s.swatch), static_cast<QWidget*>(s.check)})
            col->addWidget(w, 0, Qt::AlignHCenter);
        bars->addWidget(s.box);
        connect(s.check, &QCheckBox::clicked, this, [this, i](bool on) { checkClick(i, on); });
    }
    bars->addStretch();
    outer->addLayout(bars);

    auto* row = new QHBoxLayout;
    auto value = [&](const char* caption, const char* name) {
        row->addWidget(new QLabel(caption));
        auto* l = new QLabel;
        l->setObjectName(name);
        row->addWidget(l);
        return l;
    };
    count_ = value("Sats:", "CountLabel");
    gdop_ = value("GDOP:", "GDOPLabel");
    pdop_ = value("PDOP:", "PDOPLabel");
    vdop_ = value("VDOP:", "VDOPLabel");
    hdop_ = value("HDOP:", "HDOPLabel");
    row->addStretch();
    outer->addLayout(row);
    row = new QHBoxLayout;
    row->addStretch();
    maskButton_ = new QPushButton("Elevation mask");
    maskButton_->setObjectName("ElevationMaskButton");
    clearButton_ = new QPushButton("Clear data");
    clearButton_->setObjectName("ClearButton");
    row->addWidget(maskButton_);
    row->addWidget(clearButton_);
    outer->addLayout(row);
    connect(maskButton_, &QPushButton::clicked, this, &TSatellitesPlotForm::elevationMaskClick);
    connect(clearButton_, &QPushButton::clicked, this, &TSatellitesPlotForm::clearData);
    return panel;
}

void TSatellitesPlotForm::addViews(const std::vector<TSatData>& views) {
    if (views.empty())
        return;
    sky_->addViews(views);
    refreshBars();
}

void TSatellitesPlotForm::refreshBars() {
    refreshing_ = true;
    TSignalPanel panel = signalPanel(sky_->tracks(), data_.dops());
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        TSlot& s = slots_[i];
        if (i >= panel.bars.size()) {
            s.box->hide();
            s.satellite.clear();
            continue;
        }
        const TSignalBar& b = panel.bars[i];
        s.satellite = b.name;
        s.name->setText(q(b.name));
        QPalette p = s.name->palette();
        p.setColor(QPalette::WindowText, b.nameRed ? colourOf(kUnhealthyColour) : Qt::black);
        s.name->setPalette(p);
        static_cast<TSignalBarWidget*>(s.bar)->setValue(b.ca);
        s.ca->setText(q(b.caText));
        setSwatch(s.swatch, b.colour);
        s.swatch->setToolTip(q(b.statusHint));
        s.check->setChecked(b.checked);
        s.box->show();
    }
    count_->setText(q(panel.countLabel));
    gdop_->setText(q(panel.gdop));
    pdop_->setText(q(panel.pdop));
    vdop_->setText(q(panel.vdop));
    hdop_->setText(q(panel.hdop));
    refreshing_ = false;
}

void TSatellitesPlotForm::enableControls() {
    bool on = mode_ == TInputMode::Monitoring && !busy_;
    for (auto& s : slots_)
        s.check->setEnabled(on);
    maskButton_->setEnabled(on);
}

void TSatellitesPlotForm::inputModeChanged(TInputMode mode) {
    TBasicPlotForm::inputModeChanged(mode);
    enableControls();
}

void TSatellitesPlotForm::checkClick(int slot, bool checked) {
    const std::string name = slots_[static_cast<std::size_t>(slot)].satellite;
    if (mode_ != TInputMode::Monitoring || refreshing_ || busy_ || name.empty() || !sender_)
        return;
    // The reply wait pumps events: no second command may start meanwhile.
    busy_ = true;
    enableControls();
    sender_(satelliteSwitchCommand(name, checked), 2000);
    busy_ = false;
    enableControls();
}

void TSatellitesPlotForm::elevationMaskClick() {
    if (mode_ != TInputMode::Monitoring || busy_)
        return;
    const int old = data_.elevationMask();
    TElevationMaskForm dialog(old, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    data_.setElevationMask(dialog.mask());
    if (auto command = maskCommand(old, dialog.mask()); command && sender_) {
        busy_ = true;
        enableControls();
        // A refused or unanswered change leaves the receiver at the old mask: show that one.
        if (sender_(*command, kMaskReplyWaitMs) != TReply::RE)
            data_.setElevationMask(old);
        busy_ = false;
        enableControls();
    }
    sky_->update();
}

void TSatellitesPlotForm::clearData() {
    data_.resetSatellites();
    sky_->redraw();
    refreshBars();
}

} // namespace telvor
