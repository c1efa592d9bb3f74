#include "ui/look/PaletteDialog.h"
#include "ui/look/PalettePropertyPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <gtest/gtest.h>

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

} // namespace
