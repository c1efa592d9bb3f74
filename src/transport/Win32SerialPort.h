#pragma once

#include "base/FileDescriptor.h"
#include "transport/SerialDeviceImplementation.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A serial line to the unit: 8 data bits, no parity, 1 stop bit, raw bytes. No thread of its
// own: each read waits on the port for at most the time-out.
class Win32SerialPort : public SerialDeviceImplementation {
public:
    // Opens port COM<portNumber>, the device /dev/ttyS<portNumber - 1>.
    Win32SerialPort(std::uint32_t portNumber, std::uint32_t baudRate);
    // Opens the serial device at devicePath, such as a USB adapter.
    Win32SerialPort(std::string devicePath, std::uint32_t baudRate);
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    static std::string devicePathForPort(std::uint32_t portNumber);

    // Opens the device again; an open port only counts one more open, and refuses another rate.
    void open(std::uint32_t baudRate);
    // Undoes one open; the last one releases the device.
    void close();

    void setTimeout(std::uint32_t milliseconds) override;
    // A device that has gone (an adapter pulled out, a line hung up) fails at once with a
    // VerloException, a lost connection and not a time-out that a retry might mend:
    // "The serial device /dev/ttyUSB0 was removed (Input/output error)".
    void write(const std::uint8_t* bytes, std::size_t count) override;
    // Returns when all count bytes arrived or the time-out has passed since the call, with the
    // number of bytes read, whatever the device; one that has gone fails at once, as write.
    std::size_t read(std::uint8_t* buffer, std::size_t count) override;

    bool isOpen() const { return port_.isOpen(); }
    std::uint32_t openCount() const { return openCount_; }
    std::uint32_t baudRate() const { return baudRate_; }
    const std::string& devicePath() const { return devicePath_; }

private:
    void release();

    std::string devicePath_;
    // How messages name the port: "COM3" when opened by number, else the path.
    std::string portName_;
    std::uint32_t baudRate_ = 0;
    std::uint32_t openCount_ = 0;
    FileDescriptor port_;
    std::uint32_t timeout_ = 0;
};
