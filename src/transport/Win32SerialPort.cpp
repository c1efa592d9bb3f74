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
    const int handle = devicePath_.empty() ? -1
                                           : ::open(devicePath_.c_str(),
                                                    O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        const std::string message = "Error opening " + portName_;
        throw VerloException(devicePath_.empty() ? message : withReason(message, errno));
    }
    portHandle_ = handle;
    baudRate_ = baudRate;
    const int flags = ::fcntl(handle, F_GETFL);
    if (::ioctl(handle, TIOCEXCL) != 0 || flags < 0 ||
        ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        release();
        throw VerloException(withReason("Error opening " + portName_, error));
    }
    try {
        configureLine();
    } catch (...) {
        release();
        throw;
    }
    ++openCount_;
}

void Win32SerialPort::configureLine() {
    termios settings{};
    if (::tcgetattr(portHandle_, &settings) != 0) {
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
    if (!speedFor(baudRate_, speed)) {
        throw VerloException(failure);
    }
    termios applied{};
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
        ::tcsetattr(portHandle_, TCSANOW, &settings) != 0 ||
        ::tcgetattr(portHandle_, &applied) != 0) {
        throw VerloException(withReason(failure, errno));
    }
    // tcsetattr reports success when any one change took, so the speed is read back.
    if (::cfgetospeed(&applied) != speed) {
        throw VerloException(failure);
    }
    // Bytes the line held before we opened it (the tail of a frame meant for
    // the last host) would be read as the start of the first reply.
    ::tcflush(portHandle_, TCIFLUSH);
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
    ::close(portHandle_);
    portHandle_ = -1;
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
    while (count > 0) {
        const ssize_t written = ::write(portHandle_, bytes, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            throw VerloException(withReason("Error sending serial data.", errno));
        }
        if (written == 0) {
            throw VerloException("Error sending serial data.");
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

std::size_t Win32SerialPort::read(std::uint8_t* buffer, std::size_t count) {
    if (count == 0 || !isOpen()) {
        return 0;
    }
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_);
    std::size_t received = 0;
    bool hungUp = false;
    while (received < count) {
        // The line is in non-canonical mode with no minimum: a read returns what is there.
        const ssize_t got = ::read(portHandle_, buffer + received, count - received);
        if (got > 0) {
            received += static_cast<std::size_t>(got);
            continue;
        }
        if ((got < 0 && errno != EINTR && errno != EAGAIN) || hungUp) {
            break;
        }
        const auto left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) {
            break;
        }
        // Rounded up so that the last wait does not end just short of the deadline and spin.
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        pollfd port{portHandle_, POLLIN, 0};
        const int ready = ::poll(&port, 1, static_cast<int>(waitMs));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        // After a hang-up the next read takes what is left, and then nothing more will come.
        hungUp = ready > 0 && (port.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return received;
}
