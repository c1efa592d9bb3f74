#include "model/MeterScaler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(KORAMeterScaler, TheReading20860IsZeroDecibels) {
    const KORAMeterScaler scaler;
    EXPECT_NEAR(scaler.scale(20860.0, -60.0), 0.0, 1e-3);
    EXPECT_NEAR(scaler.scale(20860.9, -60.0), 0.0, 1e-3) << "the reading is truncated";
    EXPECT_NEAR(scaler.scale(10430.0, -60.0), -6.0206, 1e-3);
    EXPECT_NEAR(scaler.scale(32767.0, -60.0), 3.9221, 1e-3);
}

TEST(KORAMeterScaler, TheFloorBoundsEveryReadingAndHighBitsAreIgnored) {
    const KORAMeterScaler scaler;
    EXPECT_EQ(scaler.scale(0.0, -60.0), -60.0);
    EXPECT_EQ(scaler.scale(-100.0, -60.0), -60.0);
    EXPECT_EQ(scaler.scale(1.0, -60.0), -60.0) << "about -86.4 dB";
    EXPECT_NEAR(scaler.scale(1.0, -100.0), -86.39, 0.01);
    EXPECT_EQ(scaler.scale(0.5, -60.0), -60.0) << "truncates to nothing";

    // Bits above the low fifteen are ignored.
    EXPECT_EQ(scaler.scale(32768.0, -60.0), -60.0);
    EXPECT_NEAR(scaler.scale(32768.0 + 20860.0, -60.0), 0.0, 1e-3);
    EXPECT_NEAR(scaler.scale(4.0 * 32768.0 + 10430.0, -60.0), -6.0206, 1e-3);

    EXPECT_EQ(scaler.scale(std::numeric_limits<double>::quiet_NaN(), -60.0), -60.0);
    EXPECT_EQ(scaler.scale(std::numeric_limits<double>::infinity(), -60.0), -60.0);
    EXPECT_EQ(scaler.scale(1e300, -60.0), -60.0);
}
