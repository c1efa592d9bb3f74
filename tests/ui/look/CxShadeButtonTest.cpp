#include "ui/look/CxShadeButton.h"

#include <gtest/gtest.h>

namespace {

// Where the caption's own colour appears inside the border.
QRect caption(CxShadeButton& button) {
    const QImage image = button.grab().toImage();
    const QRgb text = button.palette().color(QPalette::ButtonText).rgb();
    QRect found;
    for (int y = 4; y < image.height() - 4; ++y) {
        for (int x = 4; x < image.width() - 4; ++x) {
            if (image.pixel(x, y) == text) {
                found |= QRect(x, y, 1, 1);
            }
        }
    }
    return found;
}

// Pressed, the caption moves one pixel right and down.
TEST(CxShadeButtonTest, APressedCaptionShiftsOnePixel) {
    CxShadeButton button(QStringLiteral("Calculate"));
    button.resize(120, 30);
    button.setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    button.show();
    const QRect released = caption(button);
    ASSERT_FALSE(released.isEmpty());
    button.setDown(true);
    EXPECT_EQ(caption(button), released.translated(1, 1));
}

} // namespace
