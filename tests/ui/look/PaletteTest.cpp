#include "ui/look/BitmapResource.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/PaletteDialog.h"
#include "ui/look/PalettePropertyPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// White edits, grey sliders and dark blue texts over the background bitmap,
// which dialogs and pages draw from their own corner shifted 10 pixels left.
TEST(PaletteTest, APaletteDialogColoursItsControlsOverTheShiftedBitmap) {
    PaletteDialog dialog(160, 136);
    // Colours unlike the application's, which the dialog's own must replace.
    QPalette foreign = dialog.palette();
    foreign.setColor(QPalette::Base, Qt::yellow);
    foreign.setColor(QPalette::WindowText, Qt::red);
    dialog.setPalette(foreign);
    auto* edit = new QLineEdit(&dialog);
    edit->setGeometry(20, 150, 120, 26);
    auto* slider = new QSlider(Qt::Vertical, &dialog);
    slider->setGeometry(160, 20, 30, 150);
    auto* label = new QLabel(QStringLiteral("Dialnorm"), &dialog);
    label->setGeometry(20, 20, 120, 40);
    (new PalettePropertyPage(135, 136, &dialog))->setGeometry(200, 40, 100, 200);
    const QImage bitmap = dialog.background().toImage().convertToFormat(QImage::Format_RGB32);
    dialog.resize(bitmap.width() + 20, 260);
    dialog.show();
    const QImage image = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);

    EXPECT_EQ(image.pixel(100, 163), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(161, 21), qRgb(195, 195, 195));
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 125));
    for (const QPoint point : {QPoint(0, 0), QPoint(5, 70), QPoint(20, 20), QPoint(150, 5),
                               QPoint(120, 240), QPoint(199, 259)}) {
        EXPECT_EQ(image.pixel(point), bitmap.pixel(point + QPoint(10, 0))) << point.x();
    }
    EXPECT_EQ(image.pixel(250, 120), bitmap.pixel(60, 80)) << "the page's own corner";
    EXPECT_EQ(image.pixel(bitmap.width() - 5, 3), bitmap.pixel(5, 3)) << "repeated beyond";
}

double luminance(QRgb rgb) {
    const auto channel = [](int value) {
        const double v = value / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb first, QRgb second) {
    const double a = luminance(first);
    const double b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

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

// A pressed shaded button's caption shifts; disabled texts read at 3:1 or
// better on every pixel of both background bitmaps, and on a disabled shaded
// button's greyed face, yet differ from the enabled text colour.
TEST(PaletteTest, DisabledTextsStayReadableOnTheirBackgrounds) {
    PaletteDialog dialog(160, 136);
    auto* label = new QLabel(QStringLiteral("(inactive)"), &dialog);
    label->setEnabled(false);
    auto* button = new CxShadeButton(QStringLiteral("Start Update"), &dialog);
    button->setGeometry(0, 0, 120, 30);
    button->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    dialog.show();
    // Pressed, the caption moves one pixel right and down.
    const QRect released = caption(*button);
    ASSERT_FALSE(released.isEmpty());
    button->setDown(true);
    EXPECT_EQ(caption(*button), released.translated(1, 1));
    button->setDown(false);
    button->setEnabled(false);
    const QRgb text = label->palette().color(QPalette::Disabled, QPalette::WindowText).rgb();
    EXPECT_NE(text, label->palette().color(QPalette::Active, QPalette::WindowText).rgb());
    for (const int bitmap : {136, 155}) {
        const QImage image = BitmapResource::load(bitmap).toImage();
        double lowest = 21;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                lowest = std::min(lowest, contrast(text, image.pixel(x, y)));
            }
        }
        EXPECT_GE(lowest, 3.0) << "bitmap " << bitmap;
    }
    // The caption's darkest pixel against the face around it, at its middle
    // row's left end.
    const QImage face = button->grab().toImage();
    QRgb darkest = face.pixel(60, 15);
    for (int x = 10; x < 110; ++x) {
        darkest = std::min(darkest, face.pixel(x, 15),
                           [](QRgb a, QRgb b) { return luminance(a) < luminance(b); });
    }
    EXPECT_GE(contrast(darkest, face.pixel(6, 15)), 3.0);
}

} // namespace
