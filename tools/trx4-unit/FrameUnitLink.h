#pragma once

#include "UnitLink.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

class FileDescriptorDevice;
class TraceWriter;

// The unit's side of the serial frame protocol: "QUIP", type, length, data,
// CRC. Every good frame from the host but an acknowledgement or a CRC-error
// notice is acknowledged, a frame with a bad CRC is answered with a CRC-error
// frame, and each data frame the unit sends waits for the host's
// acknowledgement. Requests that cross with the unit's own frames are
// acknowledged at once and kept for the next receive.
class FrameUnitLink : public UnitLink {
public:
    // How long a data frame from the unit waits for its acknowledgement.
    static constexpr std::chrono::milliseconds acknowledgementTimeout{1500};
    // How long the rest of a frame may take once its first bytes arrived.
    static constexpr std::chrono::milliseconds frameTimeout{5000};

    // corruptEvery: when not 0, every Nth frame sent carries a wrong CRC.
    // device and trace (which may be null) must outlive the link.
    FrameUnitLink(FileDescriptorDevice& device, TraceWriter* trace, std::uint32_t corruptEvery);

    std::optional<std::vector<std::uint8_t>> receive(std::chrono::milliseconds timeout) override;
    bool send(const Command& command) override;
    // Garbage: random bytes; oversize: a data frame one byte above the largest data.
    void sendMalformed(WireFault::Kind fault) override;
    // Sends a disconnect frame; the host does not acknowledge it.
    void disconnect() override;
    bool hostGone() const override;
    bool readyForUnsolicited() const override { return !hostSilent_; }

    std::uint32_t framesSent() const { return framesSent_; }

private:
    enum class Incoming { Nothing, Data, Acknowledgement, CrcErrorNotice, Disconnect, Other };

    Incoming readFrame(std::chrono::steady_clock::time_point firstByteDeadline);
    bool readExact(std::uint8_t* buffer, std::size_t count,
                   std::chrono::steady_clock::time_point deadline);
    // Returns true when the frame went out corrupted.
    bool writeFrame(std::uint8_t type, const std::vector<std::uint8_t>& data);
    void awaitAcknowledgement();
    void event(const char* name, const std::string& detail = {});

    FileDescriptorDevice& device_;
    TraceWriter* trace_;
    std::uint32_t corruptEvery_;
    std::uint32_t framesSent_ = 0;
    std::minstd_rand random_;
    std::deque<std::vector<std::uint8_t>> pending_;
    bool hostLeft_ = false;
    // The host left a frame unacknowledged: send nothing unasked until it
    // speaks again, so frames do not pile up in a terminal nobody reads.
    bool hostSilent_ = false;
};
