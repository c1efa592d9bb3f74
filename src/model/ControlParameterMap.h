#pragma once

#include "model/ControlParameter.h"
#include "model/ParameterMap.h"

#include <iosfwd>

// The control parameters. A value list is taken in two phases so that every
// parameter holds its new value before the first observer runs.
class ControlParameterMap : public ParameterMap<ControlParameter> {
public:
    static constexpr int maximumPasses = 5;

    void updateAll(const ParameterValueMap& values) override;

    // Offers every value to its parameter (setValue, which writes to the unit
    // at once); those the unit answers differently are offered again in the
    // next pass, since a rule may accept a value only once another one is in
    // place. Parameters that are not restorable are skipped, not retried; an
    // unknown identifier raises "Couldn't find parameter ". Returns the values
    // still refused after maximumPasses passes.
    ParameterValueMap offer(ParameterValueMap remaining);

    // Writes the pending value of every restorable parameter as a
    // configuration file (see ParameterValueMap).
    virtual void save(std::ostream& stream);
    // Reads a configuration file and offers its values. Any failure becomes "This is not a valid
    // configuration file for this device"; values written before it stay written.
    virtual void restore(std::istream& stream);
};
