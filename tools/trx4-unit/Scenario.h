#pragma once

#include "base/ParameterValueMap.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A state of the decoder worth showing: what its status parameters say and
// how loud each of the eight outputs plays. Meters are in output order
// (Left, Right, Center, Subwoofer, Left Surround, Right Surround, Seven, Eight).
struct Scenario {
    static constexpr std::size_t outputCount = 8;

    std::string name;
    std::string description;
    // Status parameters the scenario fixes; the others keep the unit's values.
    ParameterValueMap status;
    // Average level of each output in dB below full scale; none for a silent output.
    std::array<std::optional<double>, outputCount> levelsDb;
    // Whether 0x010E "Current Program" follows the Program Selection
    // parameter of the reported program configuration.
    bool followsProgramSelection = false;

    static const std::vector<Scenario>& all();
    // The scenario of that name, or null.
    static const Scenario* find(std::string_view name);
    static const Scenario& defaultScenario();
};
