#include "monitor/Basicplotform.h"

#include "settings/Profile.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace telvor {

TBasicPlot::TBasicPlot(QWidget* parent) : QWidget(parent), settle_(new QTimer(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(60, 60);
    settle_->setSingleShot(true);
    settle_->setInterval(kResizeSettleMs);
    connect(settle_, &QTimer::timeout, this, [this] { redraw(); });
}

void TBasicPlot::resizeAndClear() {
    if (bitmap_.size() != size())
        bitmap_ = QImage(size(), QImage::Format_RGB32);
    bitmap_.fill(Qt::white);
}

void TBasicPlot::redraw() {
    const auto start = std::chrono::steady_clock::now();
    settle_->stop();
    resizeAndClear();
    drawBackground();
    update();
    lastRedrawMs_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void TBasicPlot::setResizeSettleMs(int ms) {
    settle_->setInterval(ms);
}

void TBasicPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, bitmap_);
    paintOverlay(painter);
}

void TBasicPlot::resizeEvent(QResizeEvent*) {
    if (lastRedrawMs_ <= slowRedrawMs_ || bitmap_.isNull()) {
        redraw();
        return;
    }
    // Dragging a window edge sends a resize per step; a plot of a long history redrawn at
    // each would lag behind the mouse.
    bitmap_ = bitmap_.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .convertToFormat(QImage::Format_RGB32);
    update();
    settle_->start();
}

TBasicPlotForm::TBasicPlotForm(const QString& formName, const QString& caption, TProfile* profile,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), profile_(profile), formName_(formName), caption_(caption) {
    setObjectName(formName);
    setWindowTitle(caption);
}

void TBasicPlotForm::setUpPlot() {
    plot_ = createPlot();
    restoreGeometrySettings();
}

QString TBasicPlotForm::key(const char* suffix) const {
    return formName_ + QString::fromLatin1(suffix);
}

void TBasicPlotForm::setTitleSuffix(const QString& suffix) {
    setWindowTitle(caption_ + suffix);
}

bool TBasicPlotForm::wantedVisible() const {
    return profile_ && profile_->readBool(keys::PlotsSection, key("V").toStdString(), false);
}

void TBasicPlotForm::restoreGeometrySettings() {
    if (!profile_)
        return;
    auto read = [&](const char* s) {
        return profile_->readInteger(keys::PlotsSection, key(s).toStdString(), 0);
    };
    int x = read("X"), y = read("Y"), w = read("W"), h = read("H");
    if (w <= 0 || h <= 0)
        return;
    // Keep the window reachable when the screen got smaller since it was saved.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect s = screen->availableGeometry();
        x = std::max(0, std::min(x, s.width() - w));
        y = std::max(0, std::min(y, s.height() - h));
    }
    resize(w, h);
    move(x, y);
    placed_ = true;
}

void TBasicPlotForm::saveGeometrySettings() {
    if (!profile_)
        return;
    auto write = [&](const char* s, int v) {
        profile_->writeInteger(keys::PlotsSection, key(s).toStdString(), v);
    };
    write("X", pos().x());
    write("Y", pos().y());
    write("W", width());
    write("H", height());
}

void TBasicPlotForm::showOver(QWidget* over) {
    if (!placed_ && over) {
        QRect r = over->frameGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}

void TBasicPlotForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placed_ = true;
    if (profile_)
        profile_->writeBool(keys::PlotsSection, key("V").toStdString(), true);
}

void TBasicPlotForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return; // minimised: still open
    saveGeometrySettings();
    if (profile_ && !closing_)
        profile_->writeBool(keys::PlotsSection, key("V").toStdString(), false);
}

} // namespace telvor
