#pragma once

#include "UnitResponder.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class Command;

// One host connected to the hub, spoken to as the unit speaks on its TCP
// port: packets back to back. Owns the socket and never blocks on it: what
// the host sends is gathered until a packet is whole, what goes to it waits
// in a bounded buffer until the socket takes it.
class ClientConnection {
public:
    // More than this waiting to go out means the host has stopped reading.
    static constexpr std::size_t outputLimit = std::size_t{1024} * 1024;

    // Takes the connected socket, makes it non-blocking and sends each message at once.
    ClientConnection(int socket, std::uint64_t id);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    int socket() const { return socket_; }
    std::uint64_t id() const { return id_; }
    std::chrono::steady_clock::time_point connectedAt() const { return connectedAt_; }
    // Whether the host has sent a single byte since it connected.
    bool heardFrom() const { return heardFrom_; }
    // Once the host has had its Get All Response, the unit's messages go to it.
    bool informed() const { return informed_; }
    void setInformed() { informed_ = true; }
    // The host has gone, broken the protocol or stopped reading: drop it.
    bool failed() const { return failed_; }

    // Reads what the socket holds and returns the whole requests in it, in
    // order. A packet that is too short, too long or undecodable fails the
    // connection; the requests before it are still returned.
    std::vector<UnitRequest> receive();
    // Queues one message and writes as much as the socket takes.
    void send(const Command& command);
    // Writes what is waiting.
    void flush();
    bool wantsToWrite() const { return !output_.empty(); }

private:
    void fail() { failed_ = true; }

    int socket_;
    std::uint64_t id_;
    std::chrono::steady_clock::time_point connectedAt_;
    bool heardFrom_ = false;
    bool informed_ = false;
    bool failed_ = false;
    std::vector<std::uint8_t> input_;
    std::vector<std::uint8_t> output_;
};
