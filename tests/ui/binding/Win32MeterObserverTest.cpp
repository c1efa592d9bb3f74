#include "model/MeterScaler.h"
#include "model/Parameter.h"
#include "protocol/VerloException.h"
#include "ui/binding/Win32Controller.h"
#include "ui/look/MeterWidget.h"

#include "support/ThrownMessage.h"
#include "ui/BindingTestSet.h"
#include "ui/ImageProbe.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace binding;

namespace {

// Readings are decibels already, floored like every scaler.
class LinearScaler : public MeterScaler {
public:
    double scale(double level, double floor) const override {
        return level < floor ? floor : level;
    }
};

class Win32MeterObserverTest : public BoundSet {
protected:
    Win32MeterObserverTest() {
        meter.resize(10, 100);
        configuration.floor = -60;
        configuration.top = 0;
        configuration.reference = -20;
        configuration.fallRate = 40;
        observer = std::make_unique<Win32MeterObserver>(&meter, &scaler, configuration,
                                                        [this] { return now; });
        set->observeStatus(levelId, *observer);
    }

    // The unit reports level; the meter draws it at the current time.
    void report(int level) {
        unit.values[levelId] = ParameterValue(level);
        set->statusParameters().find(levelId).refresh();
    }
    void redraw() { set->statusParameters().find(levelId).notify(nullptr); }
    // Long enough for any fall to end.
    void reportLater(int level) {
        now += 10000;
        report(level);
    }
    QRgb pixelAt(int y) const { return meter.image().pixel(5, y); }

    LinearScaler scaler;
    MeterConfiguration configuration;
    MeterWidget meter;
    std::int64_t now = 5000;
    std::unique_ptr<Win32MeterObserver> observer;
};

TEST_F(Win32MeterObserverTest, FallsAtItsRateAndRisesAtOnce) {
    EXPECT_DOUBLE_EQ(observer->displayed(), 0.0);
    report(-60);
    EXPECT_DOUBLE_EQ(observer->displayed(), 0.0);
    // 40 dB per second: the fall of 60 dB takes 1.5 s.
    now += 500;
    redraw();
    EXPECT_DOUBLE_EQ(observer->displayed(), -20.0);
    now += 750;
    redraw();
    EXPECT_DOUBLE_EQ(observer->displayed(), -50.0);
    now += 250;
    redraw();
    EXPECT_DOUBLE_EQ(observer->displayed(), -60.0);
    now += 250;
    redraw();
    EXPECT_DOUBLE_EQ(observer->displayed(), -60.0);

    report(-3); // no rise rate: at once
    EXPECT_DOUBLE_EQ(observer->displayed(), -3.0);
    report(12); // clamped to the top
    EXPECT_DOUBLE_EQ(observer->displayed(), 0.0);
}

TEST_F(Win32MeterObserverTest, PaintsAmberAboveAndRedBelowTheReference) {
    const QColor background(0, 0, 128);
    const QColor amber(255, 190, 0);
    const QColor red(255, 0, 0);
    // 100 pixels for 60 dB; the reference -20 dB lies 33 pixels from the top.
    reportLater(-10);
    EXPECT_TRUE(isNear(pixelAt(5), background, 0));  // above the level
    EXPECT_TRUE(isNear(pixelAt(25), amber, 0));      // between reference and level
    EXPECT_TRUE(isNear(pixelAt(50), background, 0)); // below the reference
    EXPECT_TRUE(isNear(pixelAt(99), background, 0));

    reportLater(-50);
    EXPECT_TRUE(isNear(pixelAt(20), background, 0));
    EXPECT_TRUE(isNear(pixelAt(50), red, 0));
    EXPECT_TRUE(isNear(pixelAt(90), background, 0));

    reportLater(-20); // at the reference: no bar
    for (int y = 0; y < 100; y += 11) {
        EXPECT_TRUE(isNear(pixelAt(y), background, 0)) << y;
    }
}

} // namespace
