#include "protocol/SerialDevice.h"

#include "transport/SerialDeviceImplementation.h"

SerialDevice::SerialDevice(SerialDeviceImplementation& implementation)
    : implementation_(&implementation) {}

void SerialDevice::setTimeout(std::uint32_t milliseconds) {
    implementation_->setTimeout(milliseconds);
}

void SerialDevice::write(const std::uint8_t* bytes, std::size_t count) {
    implementation_->write(bytes, count);
}

std::size_t SerialDevice::read(std::uint8_t* buffer, std::size_t count) {
    return implementation_->read(buffer, count);
}
