#pragma once

#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "support/RecordingProtocol.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A catalogue over a recording unit that starts with the simulated unit's
// factory values, so that every request reaching the unit can be checked.
class RecordedCatalogue {
public:
    RecordedCatalogue() : front(&unit) { unit.values = DummyKORAProtocol().values(); }

    // Builds the catalogue over the unit's current values, forgetting earlier requests.
    KORAParams& build() {
        params.reset();
        forgetRequests();
        params = std::make_unique<KORAParams>(front);
        return *params;
    }
    void forgetRequests() {
        unit.getValuesCalls.clear();
        unit.writes.clear();
        unit.setValuesCalls.clear();
    }

    ControlParameter& control(std::uint16_t id) {
        return params->controlParameters().find(ParameterId(id));
    }
    int pending(std::uint16_t id) { return control(id).value().toSignedInt(); }
    // Tells the catalogue what the unit now holds, as the periodic refresh does.
    void unitHolds(std::uint16_t id, int value) {
        unit.values[ParameterId(id)] = ParameterValue(value);
    }

    // Each value written to the unit, alone or in a list, as "0x0303=20 delay 0".
    std::vector<std::string> written() const {
        std::vector<std::string> texts;
        const auto add = [&](ParameterId id, const ParameterValue& value, std::uint32_t delayMs) {
            char text[32];
            std::snprintf(text, sizeof text, "0x%04X=%d delay %u",
                          static_cast<unsigned>(id.number()), value.toSignedInt(), delayMs);
            texts.emplace_back(text);
        };
        for (const auto& write : unit.writes) {
            add(write.id, write.value, write.delayMs);
        }
        for (const auto& [values, delayMs] : unit.setValuesCalls) {
            for (const auto& [id, value] : values) {
                add(id, value, delayMs);
            }
        }
        return texts;
    }

    RecordingProtocol unit;
    ForwardingProtocol front;
    std::unique_ptr<KORAParams> params;
};
