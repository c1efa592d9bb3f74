#include "session/ConnectionTarget.h"

#include <charconv>
#include <stdexcept>
#include <utility>

namespace {

// The digits of text as a number from 1 to maximum, or 0.
unsigned long parseCount(const std::string& text, unsigned long maximum) {
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > maximum) {
        return 0;
    }
    return value;
}

} // namespace

ConnectionTarget ConnectionTarget::tcp(std::string host, std::uint16_t port) {
    ConnectionTarget target;
    target.kind = Kind::Tcp;
    target.host = std::move(host);
    target.port = port;
    return target;
}

ConnectionTarget ConnectionTarget::serial(std::uint32_t port, std::string path) {
    ConnectionTarget target;
    target.kind = Kind::Serial;
    target.serialPort = port;
    target.serialPath = std::move(path);
    return target;
}

ConnectionTarget ConnectionTarget::parseTcp(const std::string& text, std::uint16_t defaultPort) {
    ConnectionTarget target = tcp(text, defaultPort);
    // "[IPv6]" or "[IPv6]:PORT"; a bare IPv6 address (two colons or more) takes no port.
    std::string::size_type colon = std::string::npos;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
            throw std::invalid_argument("'" + text + "' is not [IPv6] or [IPv6]:PORT");
        }
        target.host = text.substr(1, close - 1);
        colon = close + 1 < text.size() ? close + 1 : std::string::npos;
    } else if (const auto first = text.find(':');
               first != std::string::npos && text.find(':', first + 1) == std::string::npos) {
        target.host = text.substr(0, first);
        colon = first;
    }
    if (colon != std::string::npos) {
        const auto port = parseCount(text.substr(colon + 1), 65535);
        if (port == 0) {
            throw std::invalid_argument("the port in '" + text +
                                        "' must be a number from 1 to 65535");
        }
        target.port = static_cast<std::uint16_t>(port);
    }
    if (target.host.empty()) {
        throw std::invalid_argument("'" + text + "' names no host");
    }
    return target;
}

ConnectionTarget ConnectionTarget::parseListen(const std::string& text) {
    const auto colon = text.rfind(':');
    std::string host = text.substr(0, colon == std::string::npos ? 0 : colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string port = colon == std::string::npos ? "" : text.substr(colon + 1);
    const auto number = parseCount(port, 65535);
    if (host.empty() || (number == 0 && port != "0")) {
        throw std::invalid_argument("expected HOST:PORT with a port from 0 to 65535, not '" + text +
                                    "'");
    }
    return tcp(host, static_cast<std::uint16_t>(number));
}

ConnectionTarget ConnectionTarget::parseSerial(const std::string& text) {
    ConnectionTarget target = serial(0);
    if (text.size() > 3 && (text.compare(0, 3, "COM") == 0 || text.compare(0, 3, "com") == 0)) {
        target.serialPort = static_cast<std::uint32_t>(parseCount(text.substr(3), 256));
        if (target.serialPort == 0) {
            throw std::invalid_argument("'" + text + "' is no serial port from COM1 to COM256");
        }
    } else if (!text.empty() && text.front() == '/') {
        target.serialPath = text;
    } else {
        throw std::invalid_argument("a serial port is COMn or a device path, not '" + text + "'");
    }
    return target;
}
