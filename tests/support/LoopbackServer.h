#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Polls a condition until it holds or the time-out passes; true when it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A TCP socket bound to an ephemeral port of 127.0.0.1, closed with the
// object. Until it listens, connections to the port are refused, and nobody
// else can take the port.
class LoopbackSocket {
public:
    LoopbackSocket() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("loopback socket: " + std::to_string(errno));
        }
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackSocket() { ::close(socket_); }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    std::uint16_t port() const { return port_; }

protected:
    const int socket_;
    std::uint16_t port_ = 0;
};

using RefusingPort = LoopbackSocket;

// A TCP peer for transport tests: listens on a loopback port and talks to the
// one client it accepts. Every wait ends after five seconds.
class LoopbackServer : public LoopbackSocket {
public:
    LoopbackServer() {
        if (::listen(socket_, 4) != 0) {
            throw std::runtime_error("loopback server: listen " + std::to_string(errno));
        }
    }
    ~LoopbackServer() { closePeer(); }

    // Accepts the client that connected, in place of any earlier one; throws when none came.
    void accept() {
        closePeer();
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, 5000) != 1 ||
            (peer_ = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC)) < 0) {
            throw std::runtime_error("loopback server: no client");
        }
        const timeval wait{5, 0};
        ::setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }

    void send(const std::vector<std::uint8_t>& bytes) {
        if (::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("loopback server: send " + std::to_string(errno));
        }
    }

    // True when the client has closed its end.
    bool sawEndOfStream() {
        std::uint8_t byte = 0;
        return ::recv(peer_, &byte, 1, 0) == 0;
    }

    void closePeer() {
        if (peer_ >= 0) {
            ::close(peer_);
            peer_ = -1;
        }
    }

private:
    int peer_ = -1;
};
