#include "model/ConfigurationDiff.h"

#include "model/ConfigurationFile.h"
#include "model/ParameterSet.h"

#include <set>
#include <sstream>

ParameterValueMap ConfigurationDiff::saved(ParameterSet& parameters) {
    std::ostringstream stream(std::ios::binary);
    parameters.saveControls(stream);
    return ConfigurationFile::parse(stream.str());
}

std::vector<ConfigurationDiff::Difference>
ConfigurationDiff::between(ParameterSet& parameters, const ParameterValueMap& left,
                           const ParameterValueMap& right) {
    std::set<ParameterId> ids;
    for (const auto& entry : left) {
        ids.insert(entry.first);
    }
    for (const auto& entry : right) {
        ids.insert(entry.first);
    }
    const auto valueIn = [](const ParameterValueMap& values,
                            ParameterId id) -> std::optional<ParameterValue> {
        const auto found = values.find(id);
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    };
    std::vector<Difference> differences;
    for (const ParameterId id : ids) {
        std::optional<ParameterValue> l = valueIn(left, id);
        std::optional<ParameterValue> r = valueIn(right, id);
        if (l == r) {
            continue;
        }
        const Parameter* parameter = parameters.controlParameters().lookup(id);
        if (parameter == nullptr) {
            parameter = parameters.statusParameters().lookup(id);
        }
        differences.push_back({id, parameter, std::move(l), std::move(r)});
    }
    return differences;
}
