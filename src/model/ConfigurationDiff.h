#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"
#include "base/ParameterValueMap.h"

#include <optional>
#include <vector>

class Parameter;
class ParameterSet;

// The settings that differ between two sets of configuration records (a
// file's, a unit's), named after a parameter set. The window's load summary
// and trx4ctl's diff list the same differences.
namespace ConfigurationDiff {

struct Difference {
    ParameterId id;
    // Null when the set has no parameter with the identifier.
    const Parameter* parameter;
    // Empty when that side holds no record of the parameter.
    std::optional<ParameterValue> left;
    std::optional<ParameterValue> right;
};

// The records saving the set's configuration would write.
ParameterValueMap saved(ParameterSet& parameters);
// Every parameter whose value differs between left and right, or that only
// one of them holds, in identifier order.
std::vector<Difference> between(ParameterSet& parameters, const ParameterValueMap& left,
                                const ParameterValueMap& right);

} // namespace ConfigurationDiff
