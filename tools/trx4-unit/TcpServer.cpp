#include "TcpServer.h"

#include "FileDescriptorDevice.h"
#include "HostSession.h"
#include "PacketUnitLink.h"
#include "StopSignal.h"
#include "TraceWriter.h"
#include "UnitOptions.h"
#include "UnitResponder.h"

#include "base/VerloException.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <utility>

namespace {

std::string describePeer(const sockaddr_storage& address) {
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host,
                    service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return "?";
    }
    return std::string(host) + ":" + service;
}

} // namespace

TcpServer::TcpServer(const UnitOptions& options, UnitResponder& responder, TraceWriter* trace,
                     std::chrono::steady_clock::time_point started)
    : options_(options), responder_(responder), trace_(trace), started_(started),
      port_(options.listenPort) {}

TcpServer::~TcpServer() {
    closeListener();
}

void TcpServer::closeListener() {
    listener_.reset();
}

void TcpServer::listen() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port_);
    const int resolved = getaddrinfo(options_.listenHost.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0) {
        throw VerloException("Cannot resolve " + options_.listenHost + ": " +
                             gai_strerror(resolved));
    }
    std::string failure = "no address";
    sockaddr_storage bound{};
    for (addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        FileDescriptor socket(::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC,
                                       candidate->ai_protocol));
        if (!socket.isOpen()) {
            failure = std::generic_category().message(errno);
            continue;
        }
        // Unchecked: without it a reboot may find the port held by the last host's closed
        // connection for a while, and bind says so.
        const int yes = 1;
        ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        socklen_t length = sizeof bound;
        if (::bind(socket.get(), candidate->ai_addr, candidate->ai_addrlen) != 0 ||
            ::listen(socket.get(), 4) != 0 ||
            ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
            failure = std::generic_category().message(errno);
            continue;
        }
        listener_ = std::move(socket);
        break;
    }
    freeaddrinfo(found);
    if (!listener_.isOpen()) {
        throw VerloException("Cannot listen on " + options_.listenHost + ":" + service + ": " +
                             failure);
    }
    port_ =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    if (trace_ != nullptr) {
        trace_->event("listening", options_.listenHost + ":" + std::to_string(port_));
    }
}

void TcpServer::run() {
    while (!StopSignal::requested()) {
        const int ready = listener_.pollFor(POLLIN, HostSession::slice);
        if (ready <= 0 || (ready & POLLIN) == 0) {
            continue;
        }
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        FileDescriptor connection(
            ::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
        if (!connection.isOpen()) {
            continue;
        }
        serveHost(std::move(connection), describePeer(peer));
    }
}

double TcpServer::uptime() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void TcpServer::serveHost(FileDescriptor connection, const std::string& peer) {
    // Unchecked: only how soon replies leave depends on it.
    const int yes = 1;
    ::setsockopt(connection.get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    responder_.logEvent(uptime(), "Host connected from " + peer);
    if (trace_ != nullptr) {
        trace_->event("host-connected", peer);
    }
    HostSession::End end;
    {
        FileDescriptorDevice device(std::move(connection));
        device.setInterruption(StopSignal::requested);
        PacketUnitLink link(device, trace_);
        HostSession session(link, responder_, options_, trace_, started_);
        session.dropIfSilentFor(silentHostLimit);
        // A host that connects just after the last one closed is not
        // refused: the session ends first, and the newcomer is served.
        session.setBetweenMessages([this, &device] {
            if (!device.hostHungUp()) {
                refuseWaitingHosts();
            }
        });
        end = session.run();
    }
    if (end == HostSession::End::HostLeft) {
        responder_.logEvent(uptime(), "Host disconnected");
        if (trace_ != nullptr) {
            trace_->event("host-left", peer);
        }
    }
    if (end == HostSession::End::Reboot) {
        reboot();
    }
}

void TcpServer::refuseWaitingHosts() {
    for (;;) {
        const int ready = listener_.pollFor(POLLIN, std::chrono::milliseconds::zero());
        if (ready <= 0 || (ready & POLLIN) == 0) {
            return;
        }
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        FileDescriptor connection(
            ::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
        if (!connection.isOpen()) {
            return;
        }
        // Closed at once: the host learns straight away that the unit is busy,
        // instead of waiting in vain for an answer to its first request.
        connection.reset();
        const std::string who = describePeer(peer);
        responder_.logEvent(uptime(), "Refused a host from " + who + " while serving another");
        if (trace_ != nullptr) {
            trace_->event("host-refused", who);
        }
    }
}

void TcpServer::reboot() {
    closeListener();
    if (trace_ != nullptr) {
        trace_->event("rebooting", std::to_string(options_.rebootSeconds) + " s");
    }
    if (!StopSignal::sleepFor(std::chrono::seconds(options_.rebootSeconds))) {
        return;
    }
    responder_.finishReboot(uptime());
    // The port comes back as before; another program may hold it meanwhile,
    // so keep trying rather than give up the emulator.
    while (!listener_.isOpen() && !StopSignal::requested()) {
        try {
            listen();
        } catch (const VerloException& error) {
            if (trace_ != nullptr) {
                trace_->event("listen-failed", error.what());
            }
            StopSignal::sleepFor(std::chrono::seconds(1));
        }
    }
    if (trace_ != nullptr) {
        trace_->event("rebooted");
    }
}
