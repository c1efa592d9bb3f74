#include "protocol/ProtocolImplementation.h"

#include "base/VerloException.h"

void ProtocolImplementation::getValues(const ParameterIdList& ids, ParameterValueMap& result) {
    for (const ParameterId id : ids) {
        result[id] = getValue(id);
    }
}

bool ProtocolImplementation::hasDevice() {
    return false;
}

void ProtocolImplementation::downloadFile(const std::string&, ProgressCommand&) {
    throw VerloException("Download not implemented for this protocol");
}

void ProtocolImplementation::downloadBlock(const std::uint8_t*, std::size_t, std::uint32_t, bool) {
    throw VerloException("Download not implemented for this protocol");
}

void ProtocolImplementation::setValues(const ParameterValueMap& values, std::uint32_t delayMs) {
    for (const auto& [id, value] : values) {
        setValue(id, value, delayMs);
    }
}

void ProtocolImplementation::setValuesAndRead(const ParameterValueMap& values,
                                              ParameterValueMap& result, std::uint32_t delayMs) {
    for (const auto& [id, value] : values) {
        setValue(id, value, delayMs);
        result[id] = getValue(id);
    }
}
