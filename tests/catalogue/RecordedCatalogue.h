#pragma once

#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "support/FakeProtocolImplementation.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

// A catalogue over a recording unit that starts with the simulated unit's
// factory values, so that every request reaching the unit can be checked.
class RecordedCatalogue {
public:
    RecordedCatalogue() : front(&unit) { unit.values = DummyKORAProtocol().values(); }

    // Builds the catalogue over the unit's current values, forgetting earlier calls.
    KORAParams& build() {
        params.reset();
        unit.calls.clear();
        params = std::make_unique<KORAParams>(front);
        return *params;
    }

    ControlParameter& control(std::uint16_t id) {
        return params->controlParameters().find(ParameterId(id));
    }
    Parameter& status(std::uint16_t id) { return params->statusParameters().find(ParameterId(id)); }
    int pending(std::uint16_t id) { return control(id).value().toSignedInt(); }

    // The text the parameter shows for value.
    std::string text(std::uint16_t id, int value) {
        std::ostringstream stream;
        params->findParameter(ParameterId(id)).format(stream, ParameterValue(value));
        return stream.str();
    }
    std::string name(std::uint16_t id) {
        return params->findParameter(ParameterId(id)).formatter()->name();
    }

    // Tells the catalogue what the unit now holds, as the periodic refresh does.
    void unitHolds(std::uint16_t id, int value) {
        unit.values[ParameterId(id)] = ParameterValue(value);
    }

    bool wrote(const std::string& write) const {
        return std::find(unit.calls.begin(), unit.calls.end(), write) != unit.calls.end();
    }
    int writes() const {
        return static_cast<int>(
            std::count_if(unit.calls.begin(), unit.calls.end(),
                          [](const std::string& call) { return call.rfind("setValue ", 0) == 0; }));
    }

    FakeProtocolImplementation unit;
    ForwardingProtocol front;
    std::unique_ptr<KORAParams> params;
};
