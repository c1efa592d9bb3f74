#pragma once

#include <cstdint>
#include <string>

// Where to reach the unit: over TCP, over a serial line, or off line (the
// unit simulated in memory).
struct ConnectionTarget {
    enum class Kind { Offline, Tcp, Serial };
    static constexpr std::uint16_t unitTcpPort = 4444;

    Kind kind = Kind::Offline;
    std::string host;
    std::uint16_t port = unitTcpPort;
    // A serial line is the device at serialPath, or port COM<serialPort> (the
    // device /dev/ttyS<serialPort - 1>) when serialPath is empty.
    std::uint32_t serialPort = 0;
    std::string serialPath;

    static ConnectionTarget tcp(std::string host, std::uint16_t port = unitTcpPort);
    // COM<port>, or the device at path when one is given.
    static ConnectionTarget serial(std::uint32_t port, std::string path = {});
    // "HOST" or "HOST:PORT" ("[IPv6]:PORT" for an IPv6 address with a port);
    // without a port, defaultPort. Throws std::invalid_argument.
    static ConnectionTarget parseTcp(const std::string& text,
                                     std::uint16_t defaultPort = unitTcpPort);
    // "HOST:PORT" or "[IPv6]:PORT" for a listener; port 0 picks a free one.
    // Throws std::invalid_argument.
    static ConnectionTarget parseListen(const std::string& text);
    // "COMn" or a device path used as is. Throws std::invalid_argument.
    static ConnectionTarget parseSerial(const std::string& text);

    bool operator==(const ConnectionTarget&) const = default;
};
