#include "UnitConnection.h"

#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/RetryingProtocol.h"
#include "protocol/SerialDevice.h"
#include "transport/Win32SerialPort.h"
#include "transport/Win32Socket.h"

#include <charconv>
#include <stdexcept>

namespace {

constexpr std::uint32_t serialBaudRate = 115200;
constexpr unsigned attempts = 2;

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

ConnectionTarget ConnectionTarget::tcp(const std::string& text) {
    ConnectionTarget target;
    target.kind = Kind::Tcp;
    target.host = text;
    // A second colon means an IPv6 address, which takes no port here.
    const auto colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        target.host = text.substr(0, colon);
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

ConnectionTarget ConnectionTarget::serial(const std::string& text) {
    ConnectionTarget target;
    target.kind = Kind::Serial;
    if (text.size() > 3 && (text.compare(0, 3, "COM") == 0 || text.compare(0, 3, "com") == 0)) {
        const auto number = parseCount(text.substr(3), 256);
        if (number == 0) {
            throw std::invalid_argument("'" + text + "' is no serial port from COM1 to COM256");
        }
        target.serialPath = Win32SerialPort::devicePathForPort(static_cast<std::uint32_t>(number));
    } else if (!text.empty() && text.front() == '/') {
        target.serialPath = text;
    } else {
        throw std::invalid_argument("a serial port is COMn or a device path, not '" + text + "'");
    }
    return target;
}

std::string ConnectionTarget::describe() const {
    switch (kind) {
    case Kind::Tcp:
        return "TCP " + host + ":" + std::to_string(port);
    case Kind::Serial:
        return "serial " + serialPath;
    case Kind::Offline:
        break;
    }
    return "Off Line";
}

UnitConnection::UnitConnection(const ConnectionTarget& target) {
    switch (target.kind) {
    case ConnectionTarget::Kind::Tcp:
        transport_ = std::make_unique<Win32Socket>(target.host, target.port);
        link_ = std::make_unique<QUIPPacket>();
        break;
    case ConnectionTarget::Kind::Serial:
        transport_ = std::make_unique<Win32SerialPort>(target.serialPath, serialBaudRate);
        link_ = std::make_unique<QUIPFrame>();
        break;
    case ConnectionTarget::Kind::Offline:
        simulated_ = std::make_unique<DummyKORAProtocol>();
        forwarding_ = std::make_unique<ForwardingProtocol>(simulated_.get());
        params_ = std::make_unique<KORAParams>(*forwarding_);
        return;
    }
    device_ = std::make_unique<SerialDevice>(*transport_);
    protocol_ = std::make_unique<QUIPProtocol>(*device_, *link_);
    forwarding_ = std::make_unique<ForwardingProtocol>(protocol_.get());
    retrying_ = std::make_unique<RetryingProtocol>(forwarding_.get(), attempts);
    params_ = std::make_unique<KORAParams>(*retrying_);
}

UnitConnection::~UnitConnection() = default;

GenericProtocol& UnitConnection::frontEnd() {
    return retrying_ ? static_cast<GenericProtocol&>(*retrying_) : *forwarding_;
}
