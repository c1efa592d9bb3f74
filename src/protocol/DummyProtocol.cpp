#include "protocol/DummyProtocol.h"

DeviceStatus DummyProtocol::getStatus() {
    return OkStatus();
}

void DummyProtocol::setValue(ParameterId id, const ParameterValue& value, std::uint32_t) {
    values_[id] = value;
}

ParameterValue DummyProtocol::getValue(ParameterId id) {
    return values_[id];
}

bool DummyProtocol::hasDevice() {
    return false;
}

void DummyProtocol::downloadFile(const std::string&, ProgressCommand&) {}

void DummyProtocol::downloadBlock(const std::uint8_t*, std::size_t, std::uint32_t, bool) {}

std::string DummyProtocol::getEventLog() {
    return "No Events";
}

std::string DummyProtocol::getErrorLog() {
    return "No Errors";
}
