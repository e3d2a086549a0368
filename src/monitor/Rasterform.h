#pragma once
// Plain pixel writes into a plot's off-screen image: the dots, track pieces and strips of the
// plots are many and tiny, and per-point painter calls would dominate a full redraw.
#include "monitor/Skymap.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>

namespace telvor {

// 0x00BBGGRR to Qt's 0xAARRGGBB.
inline QRgb rgbOf(std::uint32_t colour) {
    return qRgb(kRed(colour), kGreen(colour), kBlue(colour));
}
inline QColor colourOf(std::uint32_t colour) {
    return QColor(kRed(colour), kGreen(colour), kBlue(colour));
}

class TRaster {
public:
    // `image` must be 32-bit (RGB32 or ARGB32) and outlive the raster.
    explicit TRaster(QImage& image);

    // Writes outside the clip rectangle (default: the whole image) are dropped.
    void setClip(const QRect& clip);

    void pixel(int x, int y, QRgb c) {
        if (x >= x0_ && x <= x1_ && y >= y0_ && y <= y1_)
            row(y)[x] = c;
    }
    // Both end points included.
    void line(TPoint a, TPoint b, QRgb c);
    // Filled square of 2 x 2 pixels with its top left corner at `p`.
    void dot(TPoint p, QRgb c) {
        if (p.x >= x0_ && p.x < x1_ && p.y >= y0_ && p.y < y1_) {
            QRgb* r = row(p.y) + p.x;
            r[0] = r[1] = c;
            r = row(p.y + 1) + p.x;
            r[0] = r[1] = c;
            return;
        }
        pixel(p.x, p.y, c);
        pixel(p.x + 1, p.y, c);
        pixel(p.x, p.y + 1, c);
        pixel(p.x + 1, p.y + 1, c);
    }
    void fill(const QRect& r, QRgb c);

private:
    bool inside(TPoint p) const { return p.x >= x0_ && p.x <= x1_ && p.y >= y0_ && p.y <= y1_; }
    QRgb* row(int y) { return reinterpret_cast<QRgb*>(bits_ + y * stride_); }

    uchar* bits_;
    qsizetype stride_;
    int width_, height_;
    int x0_, y0_, x1_, y1_;
};

} // namespace telvor
