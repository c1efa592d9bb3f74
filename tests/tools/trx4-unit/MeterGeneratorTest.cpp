#include "MeterGenerator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

TEST(MeterGenerator, ReadingsFollowTheDecibelScaleOfTheUnit) {
    EXPECT_EQ(MeterGenerator::reading(0.0), 20860);
    EXPECT_EQ(MeterGenerator::reading(3.0), 20860);
    EXPECT_EQ(MeterGenerator::reading(-20.0), 2086);
    EXPECT_EQ(MeterGenerator::reading(-200.0), 0);
}

TEST(MeterGenerator, OutputsMoveSmoothlyEachInItsOwnWayAndSilentOnesStayAtRest) {
    const auto& digital = *Scenario::find("digital");
    MeterGenerator generator(digital.levelsDb);
    std::vector<std::set<std::uint16_t>> seen(Scenario::outputCount);
    std::uint16_t loudest = 0;
    MeterGenerator::Levels previous = generator.levels(0.0);
    // Ten seconds of Status messages at the default interval.
    for (int tick = 1; tick <= 100; ++tick) {
        const MeterGenerator::Levels levels = generator.levels(tick * 0.1);
        for (std::size_t output = 0; output < levels.size(); ++output) {
            EXPECT_LE(levels[output], MeterGenerator::fullScale);
            // Smooth: no jump of more than about 3 dB in 100 ms.
            EXPECT_LE(levels[output], previous[output] * 1.45 + 1) << output;
            EXPECT_GE(levels[output] * 1.45 + 1, previous[output]) << output;
            seen[output].insert(levels[output]);
            loudest = std::max(loudest, levels[output]);
        }
        EXPECT_NE(levels[0], levels[1]);
        previous = levels;
    }
    for (std::size_t output = 0; output < 6; ++output) {
        EXPECT_GT(seen[output].size(), 50u) << output;
    }
    EXPECT_EQ(seen[6], std::set<std::uint16_t>{0});
    EXPECT_EQ(seen[7], std::set<std::uint16_t>{0});
    // Some output comes within 1 dB of full scale.
    EXPECT_GE(loudest, MeterGenerator::reading(-1.0));
}

} // namespace
