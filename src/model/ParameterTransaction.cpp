#include "model/ParameterTransaction.h"

#include "base/ParameterValueMap.h"
#include "model/ControlParameter.h"
#include "protocol/GenericProtocol.h"

#include <utility>

ParameterTransaction::~ParameterTransaction() {
    try {
        rollback();
    } catch (...) {
        // Nothing can report it from here; the next refresh shows the unit's values.
    }
}

void ParameterTransaction::commit() {
    for (const auto& [protocol, parameters] : records_) {
        ParameterValueMap values;
        for (const ControlParameter* parameter : parameters) {
            values.insert_or_assign(parameter->id(), parameter->value());
        }
        protocol->setValues(values, 0);
    }
    records_.clear();
}

void ParameterTransaction::rollback() {
    // Reverting notifies observers, which may record further changes here; those
    // stay for the next commit or rollback instead of disturbing this loop.
    const auto reverting = std::move(records_);
    records_.clear();
    for (const auto& [protocol, parameters] : reverting) {
        for (ControlParameter* parameter : parameters) {
            parameter->revert();
        }
    }
}

void ParameterTransaction::record(ControlParameter& parameter) {
    records_[parameter.source()].push_back(&parameter);
}
