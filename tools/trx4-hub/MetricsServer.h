#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

// Serves the metrics text on /metrics over HTTP on a thread of its own. The
// text comes from a callback that must never wait for a unit, so that a
// scrape is as fast as the snapshot it copies.
class MetricsServer {
public:
    // Listens on HOST:PORT at once (port 0 picks a free port); VerloException
    // when it cannot. Nothing is served until start(). POST /-/reload calls
    // reload, which says why when it fails.
    MetricsServer(const std::string& address, std::function<std::string()> metrics,
                  std::function<bool(std::string& error)> reload);
    // Stops serving and waits for the thread.
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    std::uint16_t port() const { return port_; }
    void start();

private:
    std::unique_ptr<httplib::Server> server_;
    std::uint16_t port_ = 0;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
