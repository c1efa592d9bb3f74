#pragma once

#include "UnitLink.h"

#include "protocol/SerialDevice.h"

class FileDescriptorDevice;
class TraceWriter;

// Packets back to back on a TCP stream. A malformed length leaves no way to
// find the next packet, so it ends the connection.
class PacketUnitLink : public UnitLink {
public:
    // device and trace (which may be null) must outlive the link.
    PacketUnitLink(FileDescriptorDevice& device, TraceWriter* trace);

    std::optional<std::vector<std::uint8_t>> receive(std::chrono::milliseconds timeout) override;
    bool send(const Command& command) override;
    // TCP has no goodbye message; the server closes the connection.
    void disconnect() override {}
    bool hostGone() const override;

private:
    void fail(const std::string& reason);

    FileDescriptorDevice& device_;
    SerialDevice adapter_;
    TraceWriter* trace_;
    bool failed_ = false;
};
