#include "model/ControlParameterMap.h"

#include "base/VerloException.h"

#include <utility>
#include <vector>

ParameterValueMap ControlParameterMap::offer(ParameterValueMap remaining) {
    for (int pass = 0; pass < maximumPasses && !remaining.empty(); ++pass) {
        ParameterValueMap refused;
        for (const auto& [id, value] : remaining) {
            ControlParameter& parameter = find(id);
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
    return remaining;
}

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
        accepted = offer(ParameterValueMap(stream)).empty();
    } catch (const VerloException&) {
        throw VerloException(invalid);
    }
    if (!accepted) {
        throw VerloException(invalid);
    }
}
