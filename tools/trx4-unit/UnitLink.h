#pragma once

#include "UnitOptions.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

class Command;

// The unit's side of a link to the host: bare packets over TCP, or
// acknowledged CRC frames over a serial line.
class UnitLink {
public:
    virtual ~UnitLink() = default;

    // The body of the next packet from the host, waiting at most timeout;
    // none when nothing came or the host has gone.
    virtual std::optional<std::vector<std::uint8_t>> receive(std::chrono::milliseconds timeout) = 0;
    // Sends one message. Returns true when it went out with a deliberately
    // wrong CRC. A host that has gone is noted (hostGone), not thrown.
    virtual bool send(const Command& command) = 0;
    // Sends what the fault describes in place of a message; failures are
    // noted as for send.
    virtual void sendMalformed(WireFault::Kind fault) = 0;
    // Tells the host the unit is leaving it, where the link has a way to.
    virtual void disconnect() = 0;
    virtual bool hostGone() const = 0;
    // Whether an unasked message may go out now: false while a serial host
    // leaves the unit's frames unacknowledged.
    virtual bool readyForUnsolicited() const { return true; }
};
