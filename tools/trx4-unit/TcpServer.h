#pragma once

#include "base/FileDescriptor.h"

#include <chrono>
#include <cstdint>
#include <string>

class TraceWriter;
class UnitResponder;
struct UnitOptions;

// The unit on a TCP port: one host at a time; the next is accepted when the
// host leaves. While a host is served, any other connection is closed at
// once; a host that sends nothing cannot hold the unit. A reboot closes the
// port, so connections are refused until the unit is back.
class TcpServer {
public:
    // How long a newly connected host may stay silent before it is dropped.
    static constexpr std::chrono::seconds silentHostLimit{10};

    // Everything is borrowed and must outlive the server; trace may be null.
    TcpServer(const UnitOptions& options, UnitResponder& responder, TraceWriter* trace,
              std::chrono::steady_clock::time_point started);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Binds and listens; VerloException when the address cannot be had. Port
    // 0 picks a free port, which port() then tells and reboots keep.
    void listen();
    std::uint16_t port() const { return port_; }

    // Serves hosts until a stop is requested.
    void run();

private:
    void closeListener();
    void serveHost(FileDescriptor connection, const std::string& peer);
    // Closes every connection waiting to be accepted.
    void refuseWaitingHosts();
    double uptime() const;
    void reboot();

    const UnitOptions& options_;
    UnitResponder& responder_;
    TraceWriter* trace_;
    std::chrono::steady_clock::time_point started_;
    FileDescriptor listener_;
    std::uint16_t port_ = 0;
};
