#include "ui/look/Palette.h"

#include "ui/ImageProbe.h"
#include "ui/look/PaletteDialog.h"
#include "ui/look/PalettePropertyPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

constexpr QColor kDarkBlue(0, 0, 125);

TEST(PaletteTest, APaletteDialogColoursItsControlsOverTheShiftedBitmap) {
    PaletteDialog dialog(160, 136);
    // Colours unlike the application's, which the dialog's own must replace.
    QPalette foreign = dialog.palette();
    foreign.setColor(QPalette::Base, Qt::yellow);
    foreign.setColor(QPalette::Window, Qt::darkGreen);
    foreign.setColor(QPalette::WindowText, Qt::red);
    foreign.setColor(QPalette::Button, Qt::magenta);
    dialog.setPalette(foreign);
    auto* edit = new QLineEdit(&dialog);
    edit->setGeometry(20, 150, 120, 26);
    auto* slider = new QSlider(Qt::Vertical, &dialog);
    slider->setGeometry(160, 20, 30, 150);
    auto* label = new QLabel(QStringLiteral("Dialnorm"), &dialog);
    label->setGeometry(20, 20, 120, 40);
    label->setAlignment(Qt::AlignCenter);
    auto* radio = new QRadioButton(QStringLiteral("Film"), &dialog);
    radio->setGeometry(20, 80, 120, 26);
    auto* combo = new QComboBox(&dialog);
    combo->setGeometry(20, 200, 120, 26);
    dialog.resize(300, 260);
    dialog.show();
    const QImage image = grabImage(dialog);
    const QImage bitmap = dialog.background().toImage().convertToFormat(QImage::Format_RGB32);

    EXPECT_EQ(image.pixel(edit->geometry().center() + QPoint(40, 0)), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(slider->geometry().topLeft() + QPoint(1, 1)), qRgb(195, 195, 195));
    for (QWidget* text : std::initializer_list<QWidget*>{label, radio}) {
        const QRect area = text->geometry();
        bool darkBlueInk = false;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                darkBlueInk = darkBlueInk || isNear(image.pixel(x, y), kDarkBlue, 25);
            }
        }
        EXPECT_TRUE(darkBlueInk) << text->metaObject()->className();
        // Transparent: beside the text the background shows.
        EXPECT_EQ(image.pixel(area.topLeft()), bitmap.pixel(area.topLeft() + QPoint(10, 0)));
    }
    // Disabled texts stay greyed; controls of other kinds keep their colours.
    EXPECT_NE(label->palette().color(QPalette::Disabled, QPalette::WindowText), kDarkBlue);
    EXPECT_EQ(combo->palette().color(QPalette::Button), QColor(Qt::magenta));

    int unlikeUnshifted = 0;
    for (const QPoint point : {QPoint(0, 0), QPoint(5, 70), QPoint(200, 10), QPoint(250, 120),
                               QPoint(299, 259), QPoint(210, 240), QPoint(150, 5)}) {
        EXPECT_EQ(image.pixel(point), bitmap.pixel(point + QPoint(10, 0))) << point.x();
        unlikeUnshifted += image.pixel(point) != bitmap.pixel(point) ? 1 : 0;
    }
    EXPECT_GT(unlikeUnshifted, 3) << "the samples cannot tell a shift";
}

TEST(PaletteTest, BeyondTheBitmapTheBackgroundRepeats) {
    PaletteDialog dialog(160, 136);
    const QImage bitmap = dialog.background().toImage().convertToFormat(QImage::Format_RGB32);
    dialog.resize(bitmap.width() + 20, bitmap.height() + 5);
    const QImage image = grabImage(dialog);
    const int right = bitmap.width() - 10;
    EXPECT_EQ(image.pixel(right - 1, 3), bitmap.pixel(bitmap.width() - 1, 3));
    EXPECT_EQ(image.pixel(right + 25, 4), bitmap.pixel(25, 4));
    EXPECT_EQ(image.pixel(7, bitmap.height() + 2), bitmap.pixel(17, 2));

    QImage target(8, 8, QImage::Format_RGB32);
    target.fill(Qt::red);
    QPainter painter(&target);
    EXPECT_FALSE(Palette::instance().paintBackground(painter, QPixmap()));
}

TEST(PaletteTest, APagePaintsItsBitmapFromItsOwnCorner) {
    QWidget tabs;
    tabs.resize(400, 300);
    PalettePropertyPage page(135, 136, &tabs);
    page.setGeometry(30, 40, 300, 200);
    auto* choice = new QRadioButton(QStringLiteral("Enable"), &page);
    tabs.show();

    const QImage bitmap = page.background().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage image = grabImage(tabs);
    for (const QPoint point : {QPoint(50, 120), QPoint(280, 190)}) {
        EXPECT_EQ(image.pixel(point + QPoint(30, 40)), bitmap.pixel(point + QPoint(10, 0)));
    }
    EXPECT_EQ(choice->palette().color(QPalette::Active, QPalette::WindowText), kDarkBlue);
}

} // namespace
