#include "session/ProtocolChain.h"

#include "base/VerloException.h"
#include "protocol/ForwardingProtocol.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/RetryingProtocol.h"
#include "protocol/SerialDevice.h"
#include "transport/Win32SerialPort.h"
#include "transport/Win32Socket.h"

#include <utility>

namespace {

std::unique_ptr<SerialDeviceImplementation> openSerialPort(const ConnectionTarget& target) {
    if (target.serialPath.empty()) {
        return std::make_unique<Win32SerialPort>(target.serialPort, ProtocolChain::serialBaudRate);
    }
    return std::make_unique<Win32SerialPort>(target.serialPath, ProtocolChain::serialBaudRate);
}

} // namespace

ProtocolChain::ProtocolChain(const ConnectionTarget& target, ConnectionLinks& links,
                             QUIPProtocol::MessageListener listener) {
    open(target, links, std::move(listener));
}

ProtocolChain::ProtocolChain(const ConnectionTarget& target, QUIPProtocol::MessageListener listener)
    : ownLinks_(std::make_unique<ConnectionLinks>()) {
    open(target, *ownLinks_, std::move(listener));
}

ProtocolChain::~ProtocolChain() = default;

GenericProtocol& ProtocolChain::frontEnd() {
    if (retryingFrontEnd_ != nullptr) {
        return *retryingFrontEnd_;
    }
    return *protocolFrontEnd_;
}

std::size_t ProtocolChain::takeInPending() {
    return protocolImplementation_ != nullptr ? protocolImplementation_->takeInPending() : 0;
}

std::optional<Clock::time_point> ProtocolChain::lastMessageTime() const {
    if (protocolImplementation_ == nullptr) {
        return std::nullopt;
    }
    return protocolImplementation_->lastMessageTime();
}

void ProtocolChain::flashStep(const Command& step) {
    if (protocolImplementation_ == nullptr) {
        throw VerloException("The simulated unit has no flash");
    }
    protocolImplementation_->flashStep(step);
}

void ProtocolChain::open(const ConnectionTarget& target, ConnectionLinks& links,
                         QUIPProtocol::MessageListener listener) {
    QUIPLink* link = nullptr;
    switch (target.kind) {
    case ConnectionTarget::Kind::Offline:
        protocolFrontEnd_ = std::make_unique<ForwardingProtocol>(&links.simulatedProtocol);
        return;
    case ConnectionTarget::Kind::Tcp:
        transport_ = std::make_unique<Win32Socket>(target.host, target.port);
        link = &links.tcpFraming;
        break;
    case ConnectionTarget::Kind::Serial:
        transport_ = openSerialPort(target);
        link = &links.serialFraming;
        break;
    }
    deviceAdapter_ = std::make_unique<SerialDevice>(*transport_);
    protocolImplementation_ = std::make_unique<QUIPProtocol>(*deviceAdapter_, *link,
                                                             Clock::system(), std::move(listener));
    protocolFrontEnd_ = std::make_unique<ForwardingProtocol>(protocolImplementation_.get());
    retryingFrontEnd_ = std::make_unique<RetryingProtocol>(protocolFrontEnd_.get(), attempts);
}
