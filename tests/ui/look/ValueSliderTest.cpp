#include "ui/look/ValueSlider.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The highlighted pixels of the groove's fill.
int filled(ValueSlider& slider) {
    const QImage image = slider.grab().toImage();
    const QColor fill = slider.palette().color(QPalette::Highlight);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += std::abs(pixel.hue() - fill.hue()) < 10 && pixel.saturation() > 100 ? 1 : 0;
        }
    }
    return count;
}

// A delay slider shows the negated delay with its minimum drawn on top: at
// the shortest delay (the handle at the bottom) it is empty, at the longest
// it is full, and a plain slider is filled from its own minimum end.
TEST(ValueSliderTest, AnInvertedSliderFillsFromTheValuesMinimumToTheHandle) {
    ValueSlider slider(Qt::Vertical);
    slider.setRange(-150, -20);
    slider.setInvertedAppearance(true);
    slider.resize(30, 160);
    slider.show();
    slider.setValue(-20);
    const int shortest = filled(slider);
    slider.setValue(-150);
    const int longest = filled(slider);
    EXPECT_GT(longest, 200);
    EXPECT_LT(shortest, longest / 10);

    slider.setInvertedAppearance(false);
    slider.setValue(-20);
    EXPECT_GT(filled(slider), 200) << "plain, at its maximum";
}

} // namespace
