#include "model/ControlParameterMap.h"

#include "base/VerloException.h"

#include <utility>
#include <vector>

namespace {

// Offers every value to its parameter; those the unit answers differently are
// offered again in the next pass. Returns whether all were taken within the
// passes allowed. Parameters that are not restorable are skipped, not retried.
bool offerValues(ControlParameterMap& parameters, ParameterValueMap remaining) {
    constexpr int maximumPasses = 5;
    for (int pass = 0; pass < maximumPasses && !remaining.empty(); ++pass) {
        ParameterValueMap refused;
        for (const auto& [id, value] : remaining) {
            ControlParameter& parameter = parameters.find(id);
            if (!parameter.restorable()) {
                continue;
            }
            parameter.setValue(value);
            if (parameter.value() != value) {
                refused.emplace(id, value);
            }
        }
        remaining = std::move(refused);
    }
    return remaining.empty();
}

} // namespace

void ControlParameterMap::updateAll(const ParameterValueMap& values) {
    // Local on purpose: observers may start another updateAll. Nothing is
    // allocated when nothing changed, which is the usual case.
    std::vector<ControlParameter*> changed;
    for (auto& entry : *this) {
        if (entry.second.update(values)) {
            changed.push_back(&entry.second);
        }
    }
    for (ControlParameter* parameter : changed) {
        parameter->notify(nullptr);
    }
}

void ControlParameterMap::save(std::ostream& stream) {
    ParameterValueMap values;
    for (const auto& [id, parameter] : *this) {
        if (parameter.restorable()) {
            values.emplace(id, parameter.value());
        }
    }
    values.save(stream);
}

void ControlParameterMap::restore(std::istream& stream) {
    const char* const invalid = "This is not a valid configuration file for this device";
    bool accepted = false;
    try {
        accepted = offerValues(*this, ParameterValueMap(stream));
    } catch (const VerloException&) {
        throw VerloException(invalid);
    }
    if (!accepted) {
        throw VerloException(invalid);
    }
}
