#pragma once

#include "model/Parameter.h"

#include <cstdint>

class Transaction;

// A parameter the operator may change. Besides the unit's value it holds the
// pending value: what the application shows and intends for the unit. value()
// is the pending value; unitValue() the one last read from the unit.
class ControlParameter : public Parameter {
public:
    // Pending starts as the integer 0; no settle delay; restorable.
    ControlParameter(GenericProtocol* source, ParameterId id, ParameterValue minimum,
                     ParameterValue maximum, ParameterFormatter* formatter = nullptr);
    ControlParameter(const ControlParameter&) = default;
    ControlParameter& operator=(const ControlParameter&) = delete;
    ~ControlParameter() override;

    const ParameterValue& value() const override;
    // Reads the unit's value; both values become it. Notifies when the shown
    // value or the unit's value changed (or always, with alwaysNotify).
    void refresh() override;
    // Takes this parameter's entry of values without notifying: the control map
    // notifies every changed parameter once all of them hold their new values.
    // Returns whether the shown value changed.
    bool update(const ParameterValueMap& values) override;

    // The operator's change on behalf of transaction: a value within the limits
    // is recorded in the transaction, becomes pending and is notified with the
    // transaction as hint; the unit is written when the transaction commits.
    // Without a transaction it is the same as setValue(value).
    virtual void setValue(const ParameterValue& value, Transaction* transaction);
    // A value within the limits that differs from the pending one is written
    // to the source at once (apply). Values outside the limits are ignored.
    virtual void setValue(const ParameterValue& value);
    // Pending becomes the unit's value; notifies.
    virtual void revert();
    // Writes value to the source when it differs from the pending one and takes
    // what the unit answers; notifies when the pending value changed.
    virtual void apply(const ParameterValue& value);

    const ParameterValue& unitValue() const { return readValue(); }
    std::uint32_t settleDelay() const { return settleDelay_; }
    bool restorable() const { return restorable_; }
    void setSettleDelay(std::uint32_t milliseconds) { settleDelay_ = milliseconds; }
    void setRestorable(bool flag) { restorable_ = flag; }

private:
    std::uint32_t settleDelay_ = 0;
    bool restorable_ = true;
    ParameterValue pending_;
};
