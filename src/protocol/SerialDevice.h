#pragma once

#include <cstddef>
#include <cstdint>

class SerialDeviceImplementation;

// The byte device a link talks to: forwards to a transport it does not own.
class SerialDevice {
public:
    explicit SerialDevice(SerialDeviceImplementation& implementation);
    virtual ~SerialDevice() = default;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Maximum wait of each following read.
    virtual void setTimeout(std::uint32_t milliseconds);
    // Sends all bytes or throws.
    virtual void write(const std::uint8_t* bytes, std::size_t count);
    // Bytes actually received: fewer than count when the time-out expired.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t count);

private:
    SerialDeviceImplementation* implementation_;
};
