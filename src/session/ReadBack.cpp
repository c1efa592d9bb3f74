#include "session/ReadBack.h"

#include "base/VerloException.h"
#include "model/ParameterSet.h"
#include "model/ParameterText.h"

#include <thread>

void ReadBack::confirm(ParameterSet& parameters, const ParameterValueMap& written,
                       std::chrono::milliseconds limit) {
    GenericProtocol& unit = *parameters.protocol();
    ParameterIdList ids;
    for (const auto& [id, value] : written) {
        if (parameters.findParameter(id).source() == &unit) {
            ids.push_back(id);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    ParameterValueMap held;
    while (true) {
        held.clear();
        // Each read also takes in one message from the unit.
        unit.getValues(ids, held);
        std::string differing;
        for (const ParameterId id : ids) {
            if (held[id] == written.at(id)) {
                continue;
            }
            const Parameter& parameter = parameters.findParameter(id);
            differing += std::string(differing.empty() ? "" : ", ") +
                         ParameterText::label(parameter) + " (written " +
                         ParameterText::shownValue(parameter, written.at(id)) + ", holds " +
                         ParameterText::shownValue(parameter, held[id]) + ")";
        }
        if (differing.empty()) {
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const std::string waited =
                limit.count() > 0 ? " after " + std::to_string(limit.count()) + " ms" : "";
            throw VerloException("the unit does not hold the values written" + waited + ": " +
                                 differing);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
