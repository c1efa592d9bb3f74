#pragma once

#include "model/ControlParameter.h"
#include "model/ParameterMap.h"

#include <iosfwd>

// The control parameters. A value list is taken in two phases so that every
// parameter holds its new value before the first observer runs.
class ControlParameterMap : public ParameterMap<ControlParameter> {
public:
    void updateAll(const ParameterValueMap& values) override;

    // Writes the pending value of every restorable parameter as a
    // configuration file (see ParameterValueMap).
    virtual void save(std::ostream& stream);
    // Reads a configuration file and writes its values to the parameters'
    // sources. Values the unit refuses are offered again, in up to five passes
    // in all, since a rule may accept a value only once another one is in
    // place. Any failure becomes "This is not a valid configuration file for
    // this device"; values written before it stay written.
    virtual void restore(std::istream& stream);
};
