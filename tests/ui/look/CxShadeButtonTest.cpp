#include "ui/look/CxShadeButton.h"

#include "ui/ImageProbe.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr QColor kBlue(0, 0, 255);

class CxShadeButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.setFixedSize(140, 34);
        button.setShade(CxShadeButton::kBrushedMetal, 8, 10, 40, kBlue);
        button.setTextColor(kBlue);
    }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton changed, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), QPointF(button.mapToGlobal(at)), changed, held,
                          Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    }
    // Press at from, drag to each point of via, release at the last point.
    void click(QPoint from, std::initializer_list<QPoint> via = {}) {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        QPoint last = from;
        for (const QPoint point : via) {
            mouse(QEvent::MouseMove, last = point, Qt::NoButton, Qt::LeftButton);
        }
        mouse(QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton);
    }

    // The caption's pixels as the button is drawn now, and that drawing.
    std::vector<QPoint> captionPixels(QImage& drawn) {
        drawn = grabImage(button);
        const QString caption = button.text();
        button.setText(QString());
        const QImage bare = grabImage(button);
        button.setText(caption);
        return changedPixels(bare, drawn);
    }
    QRect captionBox(QImage& drawn) {
        QRect box;
        for (const QPoint point : captionPixels(drawn)) {
            box |= QRect(point, QSize(1, 1));
        }
        return box;
    }

    const QPoint inside{70, 17};
    const QPoint outside{200, 17};
    CxShadeButton button{QStringLiteral("Calculate")};
};

TEST_F(CxShadeButtonTest, CheckAndRadioKindsChangeOnAReleaseOverTheButtonOrSpace) {
    button.setKind(CxShadeButton::Kind::CheckBox);
    click(inside);
    EXPECT_TRUE(button.isChecked());
    click(inside, {outside});
    EXPECT_TRUE(button.isChecked()) << "released beside the button";
    click(inside, {outside, inside});
    EXPECT_FALSE(button.isChecked()) << "back over the button before the release";

    // Space does what a release over the button does.
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_TRUE(button.isChecked());

    button.setKind(CxShadeButton::Kind::RadioButton);
    button.setChecked(false);
    click(inside);
    click(inside);
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_TRUE(button.isChecked());
}

TEST_F(CxShadeButtonTest, PressedTheEdgeSinksAndTheCaptionMovesOnePixel) {
    QImage raised;
    const QRect normal = captionBox(raised);
    button.setDown(true);
    QImage sunken;
    ASSERT_FALSE(normal.isEmpty());
    EXPECT_EQ(captionBox(sunken), normal.translated(1, 1));
    const QRect top(10, 0, 120, 1);
    const QRect bottom(10, button.height() - 1, 120, 1);
    EXPECT_GT(meanBrightness(raised, top), meanBrightness(raised, bottom));
    EXPECT_LT(meanBrightness(sunken, top), meanBrightness(sunken, bottom));

    // A checked check box stays sunk in.
    button.setDown(false);
    button.setKind(CxShadeButton::Kind::CheckBox);
    button.setChecked(true);
    EXPECT_EQ(captionBox(sunken), normal.translated(1, 1));
}

TEST_F(CxShadeButtonTest, DisabledTheCaptionAndFaceAreGrey) {
    QImage enabled;
    const std::vector<QPoint> enabledInk = captionPixels(enabled);
    EXPECT_TRUE(std::any_of(enabledInk.begin(), enabledInk.end(),
                            [&](QPoint p) { return isNear(enabled.pixel(p), kBlue, 30); }));

    button.setEnabled(false);
    QImage disabled;
    const std::vector<QPoint> disabledInk = captionPixels(disabled);
    ASSERT_FALSE(disabledInk.empty());
    for (const QPoint point : disabledInk) {
        const QRgb pixel = disabled.pixel(point);
        EXPECT_LE(std::abs(qRed(pixel) - qBlue(pixel)), 8) << point.x() << "," << point.y();
    }
    EXPECT_EQ(qRed(disabled.pixel(6, 6)), qBlue(disabled.pixel(6, 6)));
    EXPECT_NE(qRed(enabled.pixel(6, 6)), qBlue(enabled.pixel(6, 6))) << "the face is tinted";
}

TEST_F(CxShadeButtonTest, ThePointerOverTheButtonBrightensTheFace) {
    const QImage normal = grabImage(button);
    QEnterEvent enter{QPointF(inside), QPointF(inside), QPointF(button.mapToGlobal(inside))};
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHot());
    const QRect face = button.rect().adjusted(4, 4, -4, -4);
    EXPECT_GT(meanBrightness(grabImage(button), face), meanBrightness(normal, face) + 2);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(grabImage(button), normal);
}

TEST_F(CxShadeButtonTest, TheFaceFollowsTheButtonsSize) {
    button.setText(QString());
    button.setFixedSize(260, 60);
    const QImage image = grabImage(button);
    // Texture in the part the old size did not cover.
    const QRect grown(150, 40, 100, 16);
    int steps = 0;
    for (int x = grown.left(); x < grown.right(); ++x) {
        steps += image.pixel(x, 45) != image.pixel(x + 1, 45) ? 1 : 0;
    }
    EXPECT_GT(steps, 30);
}

} // namespace
