#pragma once

#include <cstdint>
#include <memory>
#include <string>

class DummyKORAProtocol;
class ForwardingProtocol;
class GenericProtocol;
class KORAParams;
class ProtocolImplementation;
class QUIPLink;
class RetryingProtocol;
class SerialDevice;
class SerialDeviceImplementation;

// Where to reach the unit: over TCP, over a serial line, or off line (a unit
// simulated in memory, which forgets everything when the program ends).
struct ConnectionTarget {
    enum class Kind { Offline, Tcp, Serial };
    static constexpr std::uint16_t defaultPort = 4444;

    Kind kind = Kind::Offline;
    std::string host;
    std::uint16_t port = defaultPort;
    std::string serialPath;

    // "HOST" or "HOST:PORT". Throws std::invalid_argument.
    static ConnectionTarget tcp(const std::string& text);
    // "COMn" (the device /dev/ttyS<n-1>) or a device path used as is.
    // Throws std::invalid_argument.
    static ConnectionTarget serial(const std::string& text);
    // "TCP 10.0.0.5:4444", "serial /dev/ttyS0" or "Off Line".
    std::string describe() const;
};

// One open connection with the application's chain, innermost first:
// transport, device adapter, packet protocol over the connection's link,
// forwarding front end, retrying front end with 2 attempts, parameter set.
// Off line the simulated unit takes the place of the first four and there is
// no retrying. Opening reads every value; failures throw VerloException.
class UnitConnection {
public:
    explicit UnitConnection(const ConnectionTarget& target);
    // Closes in the application's order: parameter set, front ends, protocol,
    // device adapter, transport.
    ~UnitConnection();
    UnitConnection(const UnitConnection&) = delete;
    UnitConnection& operator=(const UnitConnection&) = delete;

    KORAParams& params() { return *params_; }
    // The front end the parameter set talks through.
    GenericProtocol& frontEnd();

private:
    std::unique_ptr<SerialDeviceImplementation> transport_;
    std::unique_ptr<SerialDevice> device_;
    std::unique_ptr<QUIPLink> link_;
    std::unique_ptr<DummyKORAProtocol> simulated_;
    std::unique_ptr<ProtocolImplementation> protocol_;
    std::unique_ptr<ForwardingProtocol> forwarding_;
    std::unique_ptr<RetryingProtocol> retrying_;
    std::unique_ptr<KORAParams> params_;
};
