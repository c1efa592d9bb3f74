#pragma once

#include "UnitLink.h"

#include "protocol/SerialDevice.h"

#include <optional>
#include <random>
#include <string>

class FileDescriptorDevice;
class TraceWriter;

// Packets back to back on a TCP stream. A malformed length leaves no way to
// find the next packet, so it ends the connection.
class PacketUnitLink : public UnitLink {
public:
    // How long the start of a length field may wait for the rest of it, as
    // long as a body may take once its length has come.
    static constexpr std::chrono::milliseconds defaultLengthTimeout{10000};

    // device and trace (which may be null) must outlive the link.
    PacketUnitLink(FileDescriptorDevice& device, TraceWriter* trace,
                   std::chrono::milliseconds lengthTimeout = defaultLengthTimeout);

    std::optional<std::vector<std::uint8_t>> receive(std::chrono::milliseconds timeout) override;
    bool send(const Command& command) override;
    // Garbage: random bytes; oversize: a packet one byte above the largest body.
    void sendMalformed(WireFault::Kind fault) override;
    // TCP has no goodbye message; the server closes the connection.
    void disconnect() override {}
    bool hostGone() const override;

private:
    void fail(const std::string& reason);

    FileDescriptorDevice& device_;
    SerialDevice adapter_;
    TraceWriter* trace_;
    std::chrono::milliseconds lengthTimeout_;
    bool failed_ = false;
    std::minstd_rand random_;
    std::optional<std::chrono::steady_clock::time_point> partialSince_;
};
