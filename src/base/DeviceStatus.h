#pragma once

#include <cstdint>
#include <string>

// The result of an operation that succeeded; failures are thrown instead.
class DeviceStatus {
public:
    DeviceStatus(std::uint8_t success, std::string message)
        : success_(success), message_(std::move(message)) {}
    virtual ~DeviceStatus() = default;
    DeviceStatus(const DeviceStatus&) = default;
    DeviceStatus& operator=(const DeviceStatus&) = default;

    std::uint8_t success() const { return success_; }
    const std::string& message() const { return message_; }

private:
    std::uint8_t success_;
    std::string message_;
};

class OkStatus : public DeviceStatus {
public:
    OkStatus() : DeviceStatus(1, "Ok") {}
};
