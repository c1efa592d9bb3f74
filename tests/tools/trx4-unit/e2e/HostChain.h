#pragma once

#include "protocol/ForwardingProtocol.h"
#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/RetryingProtocol.h"
#include "protocol/SerialDevice.h"
#include "transport/Win32SerialPort.h"
#include "transport/Win32Socket.h"

#include <cstdint>
#include <string>

// The application's connection chain, innermost first, as its main window
// builds it: transport, device adapter, packet protocol over the connection's
// link, forwarding front end, retrying front end with 2 attempts. Building it
// performs the Get All exchange. Members are destroyed in reverse order, as
// the application closes a connection.
template <class Transport, class Link> struct HostChain {
    template <class... Arguments>
    explicit HostChain(Arguments&&... arguments)
        : transport(std::forward<Arguments>(arguments)...), device(transport),
          protocol(device, link), forwarding(&protocol), retrying(&forwarding, 2) {}

    Transport transport;
    SerialDevice device;
    Link link;
    QUIPProtocol protocol;
    ForwardingProtocol forwarding;
    RetryingProtocol retrying;
};

struct TcpChain : HostChain<Win32Socket, QUIPPacket> {
    explicit TcpChain(std::uint16_t port) : HostChain(std::string("127.0.0.1"), port) {}
};

struct SerialChain : HostChain<Win32SerialPort, QUIPFrame> {
    explicit SerialChain(const std::string& path) : HostChain(path, std::uint32_t{115200}) {}
};
