#include "monitor/Rasterform.h"

#include <algorithm>
#include <cstdlib>

namespace telvor {

TRaster::TRaster(QImage& image)
    : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()),
      height_(image.height()) {
    setClip(QRect(0, 0, width_, height_));
}

void TRaster::setClip(const QRect& clip) {
    QRect r = clip.intersected(QRect(0, 0, width_, height_));
    x0_ = r.left();
    y0_ = r.top();
    x1_ = r.right();
    y1_ = r.bottom();
}

void TRaster::line(TPoint a, TPoint b, QRgb c) {
    if (a.x == b.x) {
        // Vertical runs are the common case of the strips: clip once, then write.
        int top = std::max(std::min(a.y, b.y), y0_), bottom = std::min(std::max(a.y, b.y), y1_);
        if (a.x < x0_ || a.x > x1_)
            return;
        for (int y = top; y <= bottom; ++y)
            row(y)[a.x] = c;
        return;
    }
    const int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    if (inside(a) && inside(b)) {
        // Both ends inside: every pixel between is, so walk the image without tests.
        const qsizetype sx = a.x < b.x ? 1 : -1;
        const qsizetype sy = (a.y < b.y ? 1 : -1) * (stride_ / qsizetype(sizeof(QRgb)));
        QRgb* p = row(a.y) + a.x;
        const bool xMajor = dx >= dy;
        const int major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
        const qsizetype along = xMajor ? sx : sy, across = xMajor ? sy : sx;
        int err = major / 2;
        // Branch-free steps: the error's sign picks the sideways step (no mispredictions).
        for (int i = 0;; ++i) {
            *p = c;
            if (i == major)
                break;
            err -= minor;
            const qsizetype back = err >> 31; // all ones when negative
            p += along + (across & back);
            err += major & static_cast<int>(back);
        }
        return;
    }
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int err = dx - dy;
    for (int x = a.x, y = a.y;;) {
        pixel(x, y, c);
        if (x == b.x && y == b.y)
            break;
        int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

void TRaster::fill(const QRect& r, QRgb c) {
    QRect f = r.intersected(QRect(x0_, y0_, x1_ - x0_ + 1, y1_ - y0_ + 1));
    for (int y = f.top(); y <= f.bottom(); ++y)
        std::fill(row(y) + f.left(), row(y) + f.right() + 1, c);
}

} // namespace telvor
