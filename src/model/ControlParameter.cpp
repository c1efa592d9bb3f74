#include "model/ControlParameter.h"

#include "model/ParameterTransaction.h"
#include "protocol/GenericProtocol.h"

ControlParameter::ControlParameter(GenericProtocol* source, ParameterId id, ParameterValue minimum,
                                   ParameterValue maximum, ParameterFormatter* formatter)
    : Parameter(source, id, std::move(minimum), std::move(maximum), formatter), pending_(0) {}

ControlParameter::~ControlParameter() = default;

const ParameterValue& ControlParameter::value() const {
    return pending_;
}

void ControlParameter::refresh() {
    ParameterValue read = source()->getValue(id());
    // An edited pending value settles here too; observers must see that, and
    // they must see the settled value when they run.
    if (read != readValue() || read != pending_ || alwaysNotify()) {
        setReadValue(read);
        pending_ = std::move(read);
        notify(nullptr);
    }
}

bool ControlParameter::update(const ParameterValueMap& values) {
    const auto entry = values.find(id());
    if (entry == values.end()) {
        return false;
    }
    // The unit's value follows the unit even when the shown value stays.
    setReadValue(entry->second);
    if (entry->second == pending_) {
        return false;
    }
    pending_ = entry->second;
    return true;
}

void ControlParameter::setValue(const ParameterValue& value, Transaction* transaction) {
    if (transaction == nullptr) {
        setValue(value);
        return;
    }
    if (value == pending_ || !withinLimits(value)) {
        return;
    }
    transaction->record(*this);
    pending_ = value;
    notify(transaction);
}

void ControlParameter::setValue(const ParameterValue& value) {
    if (value == pending_ || !withinLimits(value)) {
        return;
    }
    apply(value);
}

void ControlParameter::revert() {
    pending_ = readValue();
    notify(nullptr);
}

void ControlParameter::apply(const ParameterValue& value) {
    if (value == pending_) {
        return;
    }
    ParameterValue answer = source()->setValueAndRead(id(), value, settleDelay_);
    setReadValue(answer);
    if (answer != pending_) {
        pending_ = std::move(answer);
        notify(nullptr);
    }
}
