#include "transport/Win32SerialPort.h"

#include "base/VerloException.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

bool speedFor(std::uint32_t baudRate, speed_t& speed) {
    switch (baudRate) {
    case 300:
        speed = B300;
        return true;
    case 600:
        speed = B600;
        return true;
    case 1200:
        speed = B1200;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    case 230400:
        speed = B230400;
        return true;
    case 460800:
        speed = B460800;
        return true;
    case 921600:
        speed = B921600;
        return true;
    default:
        return false;
    }
}

// The message with the system's words for the error number before its final full stop, as in
// "Error opening COM3 (No such file or directory)".
std::string withReason(const std::string& message, int code) {
    const std::string reason = " (" + std::generic_category().message(code) + ")";
    if (!message.empty() && message.back() == '.') {
        return message.substr(0, message.size() - 1) + reason + ".";
    }
    return message + reason;
}

// Raw bytes at the given rate, 8N1; VerloException when the port refuses them.
void configureLine(int port, std::uint32_t baudRate) {
    termios settings{};
    if (::tcgetattr(port, &settings) != 0) {
        throw VerloException(withReason("error getting the serial port state", errno));
    }
    // Binary frames cross the line: no echo, no line editing, no signal characters, no
    // translation and no software flow control, which would swallow data bytes. Hardware
    // flow control stays as the port has it.
    ::cfmakeraw(&settings);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;

    const std::string failure = "Error setting the serial port state.";
    speed_t speed = B0;
    if (!speedFor(baudRate, speed)) {
        throw VerloException(failure);
    }
    termios applied{};
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
        ::tcsetattr(port, TCSANOW, &settings) != 0 || ::tcgetattr(port, &applied) != 0) {
        throw VerloException(withReason(failure, errno));
    }
    // tcsetattr reports success when any one change took, so the speed is read back.
    if (::cfgetospeed(&applied) != speed) {
        throw VerloException(failure);
    }
    // Bytes the line held before we opened it (the tail of a frame meant for the last host)
    // would be read as the start of the first reply. Unchecked: tcflush fails only on a
    // descriptor that is no terminal, and tcsetattr has just shown that this one is.
    ::tcflush(port, TCIFLUSH);
}

// A device that has gone fails like a closed connection, not like a late reply: the error
// handler drops the connection instead of the protocol trying again.
VerloException removed(const std::string& devicePath, int error) {
    return VerloException("The serial device " + devicePath + " was removed (" +
                          std::generic_category().message(error) + ")");
}

bool deviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

} // namespace

Win32SerialPort::Win32SerialPort(std::uint32_t portNumber, std::uint32_t baudRate)
    : devicePath_(devicePathForPort(portNumber)), portName_("COM" + std::to_string(portNumber)) {
    open(baudRate);
}

Win32SerialPort::Win32SerialPort(std::string devicePath, std::uint32_t baudRate)
    : devicePath_(std::move(devicePath)), portName_(devicePath_) {
    open(baudRate);
}

Win32SerialPort::~Win32SerialPort() {
    openCount_ = 0;
    if (isOpen()) {
        release();
    }
}

std::string Win32SerialPort::devicePathForPort(std::uint32_t portNumber) {
    // COM0 names no port; an empty path fails to open like a missing device.
    return portNumber == 0 ? std::string() : "/dev/ttyS" + std::to_string(portNumber - 1);
}

void Win32SerialPort::open(std::uint32_t baudRate) {
    if (openCount_ != 0) {
        if (baudRate != baudRate_) {
            throw VerloException("Tried to re-open a port at a different baud rate.");
        }
        ++openCount_;
        return;
    }
    // Opened without waiting for a carrier, then switched back to blocking writes; reads wait
    // in poll under the time-out instead.
    FileDescriptor port(devicePath_.empty() ? -1
                                            : ::open(devicePath_.c_str(),
                                                     O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port.isOpen()) {
        const std::string message = "Error opening " + portName_;
        throw VerloException(devicePath_.empty() ? message : withReason(message, errno));
    }
    const int flags = ::fcntl(port.get(), F_GETFL);
    if (::ioctl(port.get(), TIOCEXCL) != 0 || flags < 0 ||
        ::fcntl(port.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        throw VerloException(withReason("Error opening " + portName_, errno));
    }
    configureLine(port.get(), baudRate);
    port_ = std::move(port);
    baudRate_ = baudRate;
    ++openCount_;
}

void Win32SerialPort::close() {
    if (openCount_ != 0) {
        --openCount_;
    }
    if (openCount_ == 0 && isOpen()) {
        release();
    }
}

void Win32SerialPort::release() {
    port_.reset();
    baudRate_ = 0;
}

void Win32SerialPort::setTimeout(std::uint32_t milliseconds) {
    if (!isOpen()) {
        throw VerloException("Error setting the serial port timeouts.");
    }
    timeout_ = milliseconds;
}

void Win32SerialPort::write(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (!isOpen()) {
        throw VerloException("Error sending serial data.");
    }
    const int error = port_.writeAll(bytes, count);
    if (deviceGone(error)) {
        throw removed(devicePath_, error);
    }
    if (error != 0) {
        throw VerloException(withReason("Error sending serial data.", error));
    }
}

std::size_t Win32SerialPort::read(std::uint8_t* buffer, std::size_t count) {
    if (count == 0 || !isOpen()) {
        return 0;
    }
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_);
    std::size_t received = 0;
    while (received < count) {
        // Waiting before reading, so that no device holds a read past its time-out whatever it
        // makes of the line settings (a pseudo-terminal's master side ignores them).
        const int ready = port_.pollFor(POLLIN, deadline - SteadyClock::now());
        if (ready == 0) {
            break;
        }
        if (ready < 0) {
            throw removed(devicePath_, errno);
        }
        const ssize_t got = port_.readSome(buffer + received, count - received);
        if (got > 0) {
            received += static_cast<std::size_t>(got);
            continue;
        }
        // Whatever else failed leaves the port as useless as a removed one; taken for a
        // time-out it would only be tried again.
        if (got < 0 && errno != EAGAIN) {
            throw removed(devicePath_, errno);
        }
        // Nothing to read after a hang-up: the adapter was pulled out or the other side of the
        // pseudo-terminal closed, and what the line held went with it.
        if ((ready & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            throw removed(devicePath_, EIO);
        }
        // Readable yet empty without a hang-up: the wait would end at once again and again,
        // so only the clock ends it.
        if (SteadyClock::now() >= deadline) {
            break;
        }
    }
    return received;
}
