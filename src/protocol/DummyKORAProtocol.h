#pragma once

#include "protocol/DummyProtocol.h"

// The simulated TRX4: starts with the unit's factory values and keeps the
// eight output routing parameters (0x030E..0x0315) a permutation, as the
// real unit does, by swapping when one is set to a value another holds.
class DummyKORAProtocol : public DummyProtocol {
public:
    DummyKORAProtocol();

    void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) override;

    // Stores the 134 factory values, replacing whatever those identifiers held.
    void loadInitialValues();
};
