#pragma once

#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <vector>

// Pixel helpers for the look tests.

inline QImage grabImage(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline bool isNear(QRgb pixel, QColor wanted, int tolerance) {
    return std::abs(qRed(pixel) - wanted.red()) <= tolerance &&
           std::abs(qGreen(pixel) - wanted.green()) <= tolerance &&
           std::abs(qBlue(pixel) - wanted.blue()) <= tolerance;
}

// The pixels of after that differ from before (both the same size).
inline std::vector<QPoint> changedPixels(const QImage& before, const QImage& after) {
    std::vector<QPoint> changed;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                changed.emplace_back(x, y);
            }
        }
    }
    return changed;
}

inline double meanBrightness(const QImage& image, const QRect& area) {
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            sum += qGray(image.pixel(x, y));
        }
    }
    return sum / (static_cast<double>(area.width()) * area.height());
}
