#pragma once

#include "base/ParameterId.h"

#include <cstdint>

// The unit's parameters that code names directly rather than through the
// catalogue's table: every layer that needs one takes it from here.
namespace KORAParameterIds {

// The first of the eight output level meters; meter k is number() + k.
inline constexpr ParameterId firstLevelMeter{std::uint16_t{0x0106}};
// The unit's firmware version as the text "A.B.C.D", kept by the application.
inline constexpr ParameterId firmwareVersion{std::uint16_t{0x0929}};
// The cinema processor's automation ports of the Film and Video buttons:
// values 0..7 are ports 0..7, which the window lists as pins 1..8.
inline constexpr ParameterId filmAutomationPort{std::uint16_t{0x030a}};
inline constexpr ParameterId videoAutomationPort{std::uint16_t{0x030b}};

} // namespace KORAParameterIds
