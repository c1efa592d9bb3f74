#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}
class WebConfig;

struct MetricsServerOptions {
    // HOST:PORT; port 0 picks a free port.
    std::string listenAddress;
    std::string telemetryPath = "/metrics";
    // TLS and basic auth; plain HTTP for anyone without it.
    std::optional<std::filesystem::path> webConfigFile;
};

// Serves the metrics text, the health and readiness checks, the reload hook
// and a landing page over HTTP (or HTTPS) on a thread of its own. The text
// comes from a callback that must never wait for a unit, so that a scrape is
// as fast as the snapshot it copies. Each connection has a worker of its own
// from a pool far larger than any scraper needs, and short time-outs give
// idle and slow clients' workers back, so that they cannot hold up a scrape.
class MetricsServer {
public:
    // Reads the web configuration and listens at once; VerloException when it
    // cannot. Nothing is served until start(). RELOAD answers POST /-/reload:
    // true when it reloaded, else false with ERROR in plain words.
    MetricsServer(MetricsServerOptions options, std::function<std::string()> metrics,
                  std::function<bool(std::string& error)> reload);
    // Stops serving and waits for the thread.
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    std::uint16_t port() const { return port_; }
    void start();
    // Reads the web configuration file again, for the next requests and TLS
    // handshakes. VerloException naming the file and the key at fault, and
    // the old configuration stays, when it is bad or would turn TLS on or off,
    // which takes a restart since the listener is one or the other.
    void reloadWebConfig();

private:
    std::shared_ptr<const WebConfig> webConfig() const;

    MetricsServerOptions options_;
    mutable std::mutex webConfigMutex_;
    std::shared_ptr<const WebConfig> webConfig_;
    std::unique_ptr<httplib::Server> server_;
    std::uint16_t port_ = 0;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
