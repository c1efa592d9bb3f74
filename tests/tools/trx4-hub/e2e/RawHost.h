#pragma once

#include "support/UnitWire.h"

#include "protocol/Command.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

// A host that speaks bare packets to the hub, as a window does over TCP.
class RawHost {
public:
    explicit RawHost(std::uint16_t port)
        : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(socket_);
            throw std::runtime_error("cannot connect to the hub");
        }
    }
    ~RawHost() { ::close(socket_); }
    RawHost(const RawHost&) = delete;
    RawHost& operator=(const RawHost&) = delete;

    int socket() const { return socket_; }

    void sendBytes(const unitwire::Bytes& bytes) {
        ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void send(const unitwire::Bytes& body) { sendBytes(unitwire::packet(body)); }

    // The next message, decoded; none when nothing whole came in time or the
    // hub closed the connection (closed() tells).
    std::unique_ptr<Command> receive(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!closed_) {
            if (input_.size() >= 4) {
                const std::uint32_t length = (std::uint32_t{input_[0]} << 24) |
                                             (std::uint32_t{input_[1]} << 16) |
                                             (std::uint32_t{input_[2]} << 8) | input_[3];
                if (input_.size() >= length) {
                    auto message = Command::decode(input_.data() + 4, length - 4);
                    input_.erase(input_.begin(), input_.begin() + length);
                    return message;
                }
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{socket_, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0))) != 1) {
                return nullptr;
            }
            std::uint8_t chunk[4096];
            const ssize_t got = ::recv(socket_, chunk, sizeof chunk, 0);
            closed_ = got <= 0;
            input_.insert(input_.end(), chunk, chunk + std::max<ssize_t>(got, 0));
        }
        return nullptr;
    }
    // The first message of that code, and wanted when given, within timeout,
    // skipping others.
    std::unique_ptr<Command> await(unitwire::Code code,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(3),
                                   const std::function<bool(const Command&)>& wanted = {}) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            auto message = receive(std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()));
            if (message && message->commandType().code() == code && (!wanted || wanted(*message))) {
                return message;
            }
        }
        return nullptr;
    }
    // Whether the hub closes the connection within timeout.
    bool closedWithin(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!closed_ && std::chrono::steady_clock::now() < deadline) {
            receive(std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now()));
        }
        return closed_;
    }

private:
    int socket_;
    unitwire::Bytes input_;
    bool closed_ = false;
};

// Whether a host connecting to port gets its Get All Response within timeout.
inline bool serves(std::uint16_t port, std::chrono::milliseconds timeout) {
    try {
        RawHost host(port);
        host.send(unitwire::body(unitwire::GetAll));
        return host.await(unitwire::GetAllResponse, timeout) != nullptr;
    } catch (const std::runtime_error&) {
        return false;
    }
}
