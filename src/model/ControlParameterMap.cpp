#include "model/ControlParameterMap.h"

#include <vector>

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
