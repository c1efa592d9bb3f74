#pragma once

#include "model/ParameterId.h"
#include "model/ParameterValue.h"

#include <map>
#include <vector>

// Values keyed by identifier, in identifier order: the form in which value
// lists travel between the protocol, the parameter maps and configuration files.
class ParameterValueMap : public std::map<ParameterId, ParameterValue> {
public:
    using std::map<ParameterId, ParameterValue>::map;
};

// Identifiers whose values are requested, in request order.
using ParameterIdList = std::vector<ParameterId>;
