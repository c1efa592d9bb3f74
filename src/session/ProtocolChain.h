#pragma once

#include "protocol/DummyKORAProtocol.h"
#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"
#include "protocol/QUIPProtocol.h"
#include "session/ConnectionTarget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

class Command;
class ForwardingProtocol;
class GenericProtocol;
class RetryingProtocol;
class SerialDevice;
class SerialDeviceImplementation;

// What connections are built over and what outlives each of them: the link of
// a TCP connection (bare packets), the link of a serial line (acknowledged
// frames) and the simulated unit of an off-line connection.
struct ConnectionLinks {
    QUIPPacket tcpFraming;
    QUIPFrame serialFraming;
    DummyKORAProtocol simulatedProtocol;
};

// One connection to the unit, innermost first: transport, device adapter,
// packet protocol over the target's link, forwarding front end, and a retrying
// front end with two attempts. Off line the simulated unit stands behind the
// forwarding front end and nothing is retried. Opening performs the Get All
// exchange; a failure throws and leaves nothing open. The parts are destroyed
// from the outside in, so the unit is told that the host leaves before the
// transport closes.
class ProtocolChain {
public:
    static constexpr unsigned attempts = 2;
    static constexpr std::uint32_t serialBaudRate = 115200;

    // links is not owned and must outlive the chain; listener hears every
    // message the unit sends, from the Get All on.
    ProtocolChain(const ConnectionTarget& target, ConnectionLinks& links,
                  QUIPProtocol::MessageListener listener = {});
    // With links of its own, for a caller that holds one connection at a time
    // or builds it apart from the links of any other.
    explicit ProtocolChain(const ConnectionTarget& target,
                           QUIPProtocol::MessageListener listener = {});
    ~ProtocolChain();
    ProtocolChain(const ProtocolChain&) = delete;
    ProtocolChain& operator=(const ProtocolChain&) = delete;

    // The outermost front end, through which the parameter set and the
    // firmware transfer reach the unit.
    GenericProtocol& frontEnd();
    // Takes in every message the unit has sent since the last call and
    // returns how many (none off line); see QUIPProtocol::takeInPending.
    std::size_t takeInPending();
    // When the unit last sent a message; none off line.
    std::optional<Clock::time_point> lastMessageTime() const;
    // Sends one flash step as it is; see QUIPProtocol::flashStep. Off line
    // there is no flash: VerloException.
    void flashStep(const Command& step);
    // The forwarding front end alone, which does not retry.
    ForwardingProtocol& protocolFrontEnd() { return *protocolFrontEnd_; }

private:
    void open(const ConnectionTarget& target, ConnectionLinks& links,
              QUIPProtocol::MessageListener listener);

    std::unique_ptr<ConnectionLinks> ownLinks_;
    std::unique_ptr<SerialDeviceImplementation> transport_;
    std::unique_ptr<SerialDevice> deviceAdapter_;
    std::unique_ptr<QUIPProtocol> protocolImplementation_;
    std::unique_ptr<ForwardingProtocol> protocolFrontEnd_;
    std::unique_ptr<RetryingProtocol> retryingFrontEnd_;
};
