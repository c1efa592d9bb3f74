#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
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

// A TCP peer for transport tests: listens on 127.0.0.1 at an ephemeral port and talks to the
// one client it accepts. Every wait is bounded.
class LoopbackServer {
public:
    LoopbackServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        if (listener_ < 0 ||
            ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 4) != 0) {
            throw std::runtime_error("loopback listener: " + std::to_string(errno));
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackServer() {
        closePeer();
        ::close(listener_);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return port_; }

    // Accepts the client that connected; throws when none came in time.
    void accept(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        pollfd ready{listener_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(timeout.count())) != 1) {
            throw std::runtime_error("loopback listener: no client");
        }
        peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer_ < 0) {
            throw std::runtime_error("loopback listener: accept " + std::to_string(errno));
        }
    }

    void send(const std::vector<std::uint8_t>& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(peer_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                throw std::runtime_error("loopback peer: send " + std::to_string(errno));
            }
            sent += static_cast<std::size_t>(n);
        }
    }

    // Receives up to count bytes, stopping early at end of stream or when the time-out passes.
    std::vector<std::uint8_t> receive(std::size_t count,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::vector<std::uint8_t> bytes(count);
        std::size_t got = 0;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{peer_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1) {
                break;
            }
            const ssize_t n = ::recv(peer_, bytes.data() + got, count - got, 0);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }

    // True when the client has closed its end (end of stream within the time-out).
    bool sawEndOfStream(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        pollfd ready{peer_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(timeout.count())) != 1) {
            return false;
        }
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
    static sockaddr_in loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    int listener_ = -1;
    int peer_ = -1;
    std::uint16_t port_ = 0;
};

// A loopback port that refuses connections while the object lives: it is
// bound, so nobody else takes it, but never listens.
class RefusingPort {
public:
    RefusingPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(socket_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    std::uint16_t port() const { return port_; }

private:
    int socket_;
    std::uint16_t port_ = 0;
};
