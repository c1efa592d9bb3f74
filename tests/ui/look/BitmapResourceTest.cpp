#include "ui/look/BitmapResource.h"

#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

QImage loadImage(int id) {
    return BitmapResource::load(id).toImage().convertToFormat(QImage::Format_ARGB32);
}

QColor centre(int id) {
    const QImage image = loadImage(id);
    return image.pixelColor(image.width() / 2, image.height() / 2 + 1);
}

TEST(BitmapResourceTest, EveryBitmapLooksTheWayItsUseNeeds) {
    for (const int id : {136, 155}) {
        const QImage steel = loadImage(id);
        EXPECT_GE(steel.width(), 640) << id;
        EXPECT_GE(steel.height(), 480) << id;
        int streaks = 0;
        for (int x = 0; x < 200; ++x) {
            const QColor pixel = steel.pixelColor(x, 100);
            EXPECT_TRUE(pixel.alpha() == 255 && pixel.lightness() > 140 &&
                        std::abs(pixel.red() - pixel.blue()) < 30)
                << "opaque light grey: " << id;
            streaks += steel.pixel(x, 100) != steel.pixel(x, 140) ? 1 : 0;
        }
        EXPECT_GT(streaks, 150) << "brushed, not flat: " << id;
    }
    const QColor on = centre(147), off = centre(4014), error = centre(148);
    EXPECT_GT(on.green(), on.red() + 60);
    EXPECT_GT(error.red(), error.green() + 60);
    EXPECT_LT(off.lightness(), 80);
    EXPECT_EQ(qAlpha(loadImage(148).pixel(0, 0)), 0);
    EXPECT_EQ(loadImage(128).width(), loadImage(128).height());

    for (const int id : {145, 146, 4017, 4018, 4020}) {
        const QImage heading = loadImage(id);
        EXPECT_EQ(qAlpha(heading.pixel(heading.width() - 1, 0)), 0) << id;
        bool ink = false;
        for (int i = 0; i < heading.width() * heading.height() && !ink; ++i) {
            const QColor pixel = heading.pixelColor(i % heading.width(), i / heading.width());
            ink = pixel.alpha() == 255 && pixel.red() < 40 && pixel.blue() > 90;
        }
        EXPECT_TRUE(ink) << "dark blue mark: " << id;
    }
    EXPECT_FALSE(BitmapResource::contains(4019));
    EXPECT_EQ(thrownMessage<VerloException>([] { BitmapResource::load(4019); }),
              "Unable to load the bitmap with id: 4019");
}

} // namespace
