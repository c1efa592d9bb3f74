#pragma once

#include <cstddef>
#include <cstdint>

// A byte device to the unit: a TCP connection or a serial port.
class SerialDeviceImplementation {
public:
    virtual ~SerialDeviceImplementation() = default;

    // Maximum wait of each following read.
    virtual void setTimeout(std::uint32_t milliseconds) = 0;
    // Sends all bytes or throws.
    virtual void write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Places 0..count bytes in buffer; fewer than count when the time-out expired.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t count) = 0;
};
