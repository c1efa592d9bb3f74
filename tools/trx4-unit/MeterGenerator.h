#pragma once

#include "Scenario.h"

#include <array>
#include <cstdint>
#include <optional>

// Level meter readings that move like programme material: each output drifts
// smoothly around its own average level, at its own pace, never above full
// scale. Readings are a function of time alone, so they are reproducible.
class MeterGenerator {
public:
    // The unit's reading for a full-scale (0 dB) signal.
    static constexpr std::uint16_t fullScale = 20860;
    // How far an output swings above and below its average, in dB.
    static constexpr double swingDb = 4.0;

    using Levels = std::array<std::uint16_t, Scenario::outputCount>;

    explicit MeterGenerator(
        const std::array<std::optional<double>, Scenario::outputCount>& levelsDb);

    // The readings at the given time since the unit started.
    Levels levels(double seconds) const;

    // The reading of a level in dB below full scale (0 for minus infinity).
    static std::uint16_t reading(double db);

private:
    std::array<std::optional<double>, Scenario::outputCount> levelsDb_;
};
