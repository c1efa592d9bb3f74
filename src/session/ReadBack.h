#pragma once

#include "base/ParameterValueMap.h"

#include <chrono>

class ParameterSet;

// After a write, whether the unit holds what was written. The unit confirms a
// Set with a Status that may name only some of the values written, or with
// none at all when the Set was lost; only values read back count.
namespace ReadBack {

// How long the unit may take to report every value written.
constexpr std::chrono::milliseconds timeLimit{3000};

// Reads the written parameters from the unit until each holds its written
// value; throws VerloException naming those that still do not after limit.
// Values of parameters that live only in the application are not asked for.
void confirm(ParameterSet& parameters, const ParameterValueMap& written,
             std::chrono::milliseconds limit = timeLimit);

} // namespace ReadBack
