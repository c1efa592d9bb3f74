#include "model/ParameterSet.h"

#include "protocol/VerloException.h"

ParameterSet::ParameterSet(GenericProtocol& protocol)
    : protocol_(&protocol), localSource_(std::make_unique<ForwardingProtocol>(&localUnit_)) {}

ParameterSet::~ParameterSet() {
    for (auto& rule : rules_) {
        rule.reset();
    }
    for (auto& observer : observers_) {
        observer.reset();
    }
    formatters_.clear();
}

void ParameterSet::refreshControls() {
    controlParameters_.refreshAll(protocol_);
}

void ParameterSet::observeControl(ParameterId id, Observer<ControlParameter>& observer) {
    ControlParameter& parameter = controlParameters_.find(id);
    observer.setSubject(&parameter);
    parameter.attach(observer);
}

void ParameterSet::observeControl(ParameterId id, Observer<Parameter>& observer) {
    ControlParameter& parameter = controlParameters_.find(id);
    observer.setSubject(&parameter);
    parameter.attach(observer);
}

ParameterValue ParameterSet::setControl(ParameterId id, const ParameterValue& value) {
    refreshControls();
    ControlParameter& parameter = controlParameters_.find(id);
    parameter.setValue(value);
    return parameter.value();
}

void ParameterSet::setControlsAndRead(const ParameterValueMap& values, ParameterValueMap& results,
                                      std::uint32_t delayMs) {
    refreshControls();
    protocol_->setValuesAndRead(values, results, delayMs);
    controlParameters_.updateAll(results);
}

bool ParameterSet::hasDevice() {
    return protocol_->hasDevice();
}

void ParameterSet::observeStatus(ParameterId id, Observer<Parameter>& observer) {
    Parameter& parameter = statusParameters_.find(id);
    observer.setSubject(&parameter);
    parameter.attach(observer);
}

Parameter& ParameterSet::findParameter(ParameterId id) {
    if (ControlParameter* control = controlParameters_.lookup(id)) {
        return *control;
    }
    return statusParameters_.find(id);
}

void ParameterSet::pollNext() {
    if (pollGroups_.empty()) {
        return;
    }
    statusParameters_.refreshGroup(protocol_, pollGroups_[nextPoll_]);
    // Only a group that was read moves on; a failed one is tried again first.
    nextPoll_ = (nextPoll_ + 1) % pollGroups_.size();
}

void ParameterSet::setLocalImplementation(ProtocolImplementation& implementation) {
    GenericProtocol* const current = localSource_.get();
    const auto usesLocal = [current](const auto& map) {
        for (const auto& entry : map) {
            if (entry.second.source() == current) {
                return true;
            }
        }
        return false;
    };
    if (usesLocal(statusParameters_) || usesLocal(controlParameters_)) {
        throw VerloException("The local source cannot be replaced once parameters use it");
    }
    localSource_ = std::make_unique<ForwardingProtocol>(&implementation);
}

void ParameterSet::adoptRule(std::unique_ptr<GenericObserver> rule) {
    rules_.push_back(std::move(rule));
}

void ParameterSet::adoptObserver(std::unique_ptr<GenericObserver> observer) {
    observers_.push_back(std::move(observer));
}

void ParameterSet::addPollGroup(std::uint8_t group) {
    // The tail is the entry just before the head; the head moves up by one.
    pollGroups_.insert(pollGroups_.begin() + static_cast<std::ptrdiff_t>(nextPoll_), group);
    if (pollGroups_.size() > 1) {
        ++nextPoll_;
    }
}
