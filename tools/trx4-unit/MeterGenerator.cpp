#include "MeterGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Two slow oscillations per output with unrelated periods (0.23 Hz .. 0.9 Hz)
// so that no two outputs move together and no pattern repeats visibly.
struct Motion {
    double firstHz;
    double secondHz;
    double phase;
};

constexpr Motion motions[Scenario::outputCount] = {
    {0.31, 0.83, 0.0}, {0.29, 0.77, 1.3}, {0.37, 0.61, 2.1}, {0.23, 0.53, 0.7},
    {0.41, 0.89, 2.9}, {0.43, 0.71, 4.1}, {0.27, 0.67, 3.3}, {0.33, 0.59, 5.2},
};

} // namespace

MeterGenerator::MeterGenerator(
    const std::array<std::optional<double>, Scenario::outputCount>& levelsDb)
    : levelsDb_(levelsDb) {}

MeterGenerator::Levels MeterGenerator::levels(double seconds) const {
    Levels result{};
    for (std::size_t output = 0; output < Scenario::outputCount; ++output) {
        if (!levelsDb_[output]) {
            continue;
        }
        const Motion& motion = motions[output];
        const double angle = 2.0 * std::numbers::pi * seconds;
        const double wave = 0.5 * (std::sin(angle * motion.firstHz + motion.phase) +
                                   std::sin(angle * motion.secondHz + 2.0 * motion.phase));
        result[output] = reading(*levelsDb_[output] + swingDb * wave);
    }
    return result;
}

std::uint16_t MeterGenerator::reading(double db) {
    const double clamped = std::min(db, 0.0);
    const double value = std::round(fullScale * std::pow(10.0, clamped / 20.0));
    return static_cast<std::uint16_t>(std::clamp(value, 0.0, double{fullScale}));
}
