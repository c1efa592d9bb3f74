#pragma once

#include "base/ParameterValueMap.h"

#include <cstddef>
#include <memory>

class Command;
class SerialDevice;

// One way of carrying commands over a byte device: bare packets over TCP,
// acknowledged CRC frames over a serial line. A link object is reused; each
// receive or setCommand discards what it held.
class QUIPLink {
public:
    virtual ~QUIPLink() = default;

    // A new, empty link of the same kind, used as a reply channel.
    virtual std::unique_ptr<QUIPLink> create() const = 0;
    // Reads the next message; false when nothing arrived.
    virtual bool receive(SerialDevice& device) = 0;
    // Sends the current content. Commands that arrive while a frame waits for
    // its acknowledgement are handled with context as their value cache.
    virtual void send(SerialDevice& device, ParameterValueMap* context) = 0;
    // Makes the command (not owned; it must outlive the send) the content.
    virtual void setCommand(const Command& command) = 0;
    // The command set or received, or null.
    virtual const Command* command() = 0;
    // Length in bytes of the current content, as each kind of link counts it.
    virtual std::size_t dataLength() const = 0;
    // Tells the unit that the host is leaving; nothing to say by default.
    virtual void sendDisconnect(SerialDevice&) {}
};
