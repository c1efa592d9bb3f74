#include "model/MeterScaler.h"

#include <algorithm>
#include <cmath>

namespace {
// Lifts the reading 20860 of 32768 to 0 dB.
constexpr double zeroDecibelOffset = 3.922397540603;
constexpr double fullScale = 32768.0;
} // namespace

double KORAMeterScaler::scale(double level, double floor) const {
    // Not a positive finite reading (NaN included): nothing to show.
    if (!(level > 0.0) || !std::isfinite(level)) {
        return floor;
    }
    // The low 15 bits of the whole part; exact for any finite double.
    const double fraction = std::fmod(std::trunc(level), fullScale) / fullScale;
    if (fraction == 0.0) {
        return floor;
    }
    return std::max(20.0 * std::log10(fraction) + zeroDecibelOffset, floor);
}
