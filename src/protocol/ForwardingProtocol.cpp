#include "protocol/ForwardingProtocol.h"

#include "base/VerloException.h"
#include "protocol/ProtocolImplementation.h"

ForwardingProtocol::ForwardingProtocol(ProtocolImplementation* implementation)
    : implementation_(implementation) {}

DeviceStatus ForwardingProtocol::getStatus() {
    return implementation_->getStatus();
}

void ForwardingProtocol::setTag(std::uint32_t tag) {
    implementation_->setTag(tag);
}

void ForwardingProtocol::setValue(ParameterId id, const ParameterValue& value,
                                  std::uint32_t delayMs) {
    implementation_->setValue(id, value, delayMs);
}

void ForwardingProtocol::setValues(const ParameterValueMap& values, std::uint32_t delayMs) {
    implementation_->setValues(values, delayMs);
}

void ForwardingProtocol::setValuesAndRead(const ParameterValueMap& values,
                                          ParameterValueMap& result, std::uint32_t delayMs) {
    implementation_->setValuesAndRead(values, result, delayMs);
}

ParameterValue ForwardingProtocol::getValue(ParameterId id) {
    return implementation_->getValue(id);
}

void ForwardingProtocol::getValues(const ParameterIdList& ids, ParameterValueMap& result) {
    implementation_->getValues(ids, result);
    if (result.size() < ids.size()) {
        throw ProtocolException("The device did not return all of the requested parameters");
    }
    if (result.size() > ids.size()) {
        throw ProtocolException("The device returned some unasked for parameters");
    }
    for (const ParameterId id : ids) {
        if (!result.contains(id)) {
            throw ProtocolException("The device returned some parameters that were not asked for.");
        }
    }
}

ParameterValue ForwardingProtocol::setValueAndRead(ParameterId id, const ParameterValue& value,
                                                   std::uint32_t delayMs) {
    implementation_->setValue(id, value, delayMs);
    return implementation_->getValue(id);
}

bool ForwardingProtocol::hasDevice() {
    return implementation_->hasDevice();
}

void ForwardingProtocol::downloadFile(const std::string& fileName, ProgressCommand& progress) {
    implementation_->downloadFile(fileName, progress);
}

void ForwardingProtocol::downloadBlock(const std::uint8_t* bytes, std::size_t count,
                                       std::uint32_t blockNumber, bool burn) {
    implementation_->downloadBlock(bytes, count, blockNumber, burn);
}

std::string ForwardingProtocol::getEventLog() {
    return implementation_->getEventLog();
}

std::string ForwardingProtocol::getErrorLog() {
    return implementation_->getErrorLog();
}
