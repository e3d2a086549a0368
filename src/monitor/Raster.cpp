#include "monitor/Raster.h"

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
    int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    if (dx == 0) {
        // Vertical runs are the common case of the strips: clip once, then write.
        int top = std::max(std::min(a.y, b.y), y0_), bottom = std::min(std::max(a.y, b.y), y1_);
        if (a.x < x0_ || a.x > x1_)
            return;
        for (int y = top; y <= bottom; ++y)
            row(y)[a.x] = c;
        return;
    }
    int err = dx + dy;
    for (int x = a.x, y = a.y;;) {
        pixel(x, y, c);
        if (x == b.x && y == b.y)
            break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
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
