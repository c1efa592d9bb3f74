#pragma once

#include "LinePacer.h"

#include "base/FileDescriptor.h"
#include "transport/SerialDeviceImplementation.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// The unit's end of a host connection: an accepted TCP socket or the master
// side of a pseudo-terminal, as a byte device for the protocol's links. Reads
// wait at most the time-out; writes wait a bounded time for room, so a host
// that stops reading cannot stall the unit for good.
class FileDescriptorDevice : public SerialDeviceImplementation {
public:
    // How long a write may wait for the host to make room.
    static constexpr std::uint32_t defaultWriteTimeoutMs = 5000;

    // Makes fd non-blocking; VerloException when it cannot be.
    explicit FileDescriptorDevice(FileDescriptor fd,
                                  std::uint32_t writeTimeoutMs = defaultWriteTimeoutMs);
    FileDescriptorDevice(const FileDescriptorDevice&) = delete;
    FileDescriptorDevice& operator=(const FileDescriptorDevice&) = delete;

    // From now on reads and writes move one byte at a time, each way at most
    // bytesPerSecond (not 0), as over a serial line.
    void paceAt(std::uint32_t bytesPerSecond);

    void setTimeout(std::uint32_t milliseconds) override;
    // Sends all bytes; VerloException when the host has gone or makes no room in time.
    void write(const std::uint8_t* bytes, std::size_t count) override;
    // Waits up to the time-out for count bytes; returns those that came.
    std::size_t read(std::uint8_t* buffer, std::size_t count) override;

    // Waits up to timeout until count bytes can be read at once, the host has
    // gone, or interrupted() says to stop; true when the bytes are there.
    bool waitForBytes(std::size_t count, std::chrono::milliseconds timeout);
    // Bytes that can be read without waiting.
    std::size_t available() const;
    // Throws away whatever the host sent that has not been read.
    void discardInput();

    // True once the host closed its end (end of stream, a reset, or a
    // pseudo-terminal whose terminal side was closed).
    bool hostGone() const { return hostGone_; }
    // Looks without waiting whether the host has closed its end and left
    // nothing unread; if so the device counts it as gone from now on.
    bool hostHungUp();
    // For a pseudo-terminal, whose terminal side can be opened again: true,
    // and the device usable again, when no hang-up is pending any more.
    bool checkHostBack();
    // Consulted by every wait; a true answer ends the wait early.
    void setInterruption(std::function<bool()> interrupted) {
        interrupted_ = std::move(interrupted);
    }

    int fd() const { return fd_.get(); }

private:
    // Waits for one of events; false on time-out, interruption or hang-up.
    bool waitFor(short events, std::chrono::steady_clock::time_point deadline);

    FileDescriptor fd_;
    std::uint32_t writeTimeoutMs_;
    std::uint32_t timeoutMs_ = 0;
    bool hostGone_ = false;
    std::function<bool()> interrupted_;
    std::optional<LinePacer> readPace_;
    std::optional<LinePacer> writePace_;
};
