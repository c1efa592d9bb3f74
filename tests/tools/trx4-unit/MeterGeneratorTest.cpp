#include "MeterGenerator.h"

#include <gtest/gtest.h>

namespace {

TEST(MeterGenerator, ReadingsFollowTheDecibelScaleOfTheUnit) {
    for (const auto& [db, reading] : std::vector<std::pair<double, std::uint16_t>>{
             {3.0, 20860}, {0.0, 20860}, {-20.0, 2086}, {-200.0, 0}}) {
        EXPECT_EQ(MeterGenerator::reading(db), reading) << db << " dB";
    }
}

} // namespace
