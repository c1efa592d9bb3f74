#include "MetricsServer.h"

#include "base/VerloException.h"
#include "session/ConnectionTarget.h"

#include <httplib.h>

#include <chrono>

MetricsServer::MetricsServer(const std::string& address, std::function<std::string()> metrics,
                             std::function<bool(std::string& error)> reload)
    : server_(std::make_unique<httplib::Server>()) {
    const ConnectionTarget listen = ConnectionTarget::parseListen(address);
    const int port = listen.port == 0
                         ? server_->bind_to_any_port(listen.host)
                         : (server_->bind_to_port(listen.host, listen.port) ? listen.port : -1);
    if (port < 0) {
        throw VerloException("Cannot listen on " + address);
    }
    port_ = static_cast<std::uint16_t>(port);
    server_->Get("/metrics", [metrics = std::move(metrics)](const httplib::Request&,
                                                            httplib::Response& response) {
        response.set_content(metrics(), "text/plain; version=0.0.4; charset=utf-8");
    });
    server_->Post("/-/reload", [reload = std::move(reload)](const httplib::Request&,
                                                            httplib::Response& response) {
        std::string error;
        if (reload(error)) {
            response.set_content("Reloaded\n", "text/plain");
        } else {
            response.status = 500;
            response.set_content(error + "\n", "text/plain");
        }
    });
    server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("The metrics are on /metrics\n", "text/plain");
    });
}

MetricsServer::~MetricsServer() {
    if (!thread_.joinable()) {
        return;
    }
    // stop() does nothing until the thread has begun to listen, and a stop
    // that came too early would leave it listening for good.
    while (!finished_) {
        if (server_->is_running()) {
            server_->stop();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
}

void MetricsServer::start() {
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        finished_ = true;
    });
}
