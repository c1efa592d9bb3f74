#pragma once

#include "model/ControlParameter.h"
#include "model/ParameterMap.h"

// The control parameters. A value list is taken in two phases so that every
// parameter holds its new value before the first observer runs.
class ControlParameterMap : public ParameterMap<ControlParameter> {
public:
    void updateAll(const ParameterValueMap& values) override;
};
