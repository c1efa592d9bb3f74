// trx4-hub: shares one connection to each TRX4 unit with many hosts. See --help.
#include "MetricsText.h"
#include "UnitHub.h"

#include "base/VerloException.h"
#include "session/ConnectionTarget.h"
#include "session/UnitsFile.h"

#include <CLI/CLI.hpp>
#include <httplib.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

int runProgram(int argc, char** argv) {
    CLI::App app(
        "Keeps one connection to each unit of the units file and serves the unit's own "
        "protocol, as the unit serves it on its port 4444, to any number of hosts on the "
        "address given by the unit's serve:HOST:PORT field. With --metrics it also serves "
        "trx4-exporter's /metrics for every unit of the file from the same connections; "
        "without it, units without a serve field are left alone. "
        "Anyone who can reach a served port can change the unit, as with the unit itself: "
        "serve on loopback (127.0.0.1) unless the network is trusted. A lost unit closes its "
        "hosts and is tried again after 1 s, then after twice as long each time, up to 30 s. "
        "Standard output has one line per served unit, in the file's order: the port served; "
        "then, with --metrics, the metrics port. "
        "Stops cleanly on SIGINT or SIGTERM; exit code 1 means it could not run, 2 a "
        "command-line error.",
        "trx4-hub");
    app.set_version_flag("--version", "trx4-hub (TRX4 Remote) " TRX4_VERSION,
                         "Print the version and exit");
    std::string unitsPath;
    app.add_option("--units", unitsPath,
                   "The units: one a line, NAME tcp:HOST[:PORT] or NAME serial:COMn|/dev/PATH, "
                   "then serve:HOST:PORT or serve:[IPv6]:PORT (port 0 picks a free port); # "
                   "starts a comment")
        ->type_name("FILE")
        ->required();
    std::optional<std::string> metricsAddress;
    app.add_option("--metrics", metricsAddress,
                   "Also serve trx4-exporter's /metrics on this address (127.0.0.1:9464 is the "
                   "exporter's; port 0 picks a free port)")
        ->type_name("HOST:PORT")
        ->check([](const std::string& text) {
            try {
                ConnectionTarget::parseListen(text);
                return std::string();
            } catch (const std::invalid_argument& error) {
                return std::string(error.what());
            }
        });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }

    try {
        // Blocked before any thread starts, so every thread inherits the mask
        // and the signals wait for sigwait below.
        const sigset_t signals = stopSignals();
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        std::signal(SIGPIPE, SIG_IGN);

        std::vector<std::unique_ptr<UnitHub>> hubs;
        for (UnitEntry& unit : readUnitsFile(unitsPath)) {
            if (unit.serve || metricsAddress) {
                hubs.push_back(std::make_unique<UnitHub>(std::move(unit)));
            }
        }
        if (hubs.empty()) {
            std::cerr << "trx4-hub: " << unitsPath
                      << ": no unit has a serve: address, and no --metrics" << std::endl;
            return 1;
        }
        for (const auto& hub : hubs) {
            if (hub->port() != 0) {
                std::cout << hub->port() << '\n';
            }
        }

        httplib::Server server;
        std::thread serving;
        if (metricsAddress) {
            const ConnectionTarget listen = ConnectionTarget::parseListen(*metricsAddress);
            const int port =
                listen.port == 0
                    ? server.bind_to_any_port(listen.host)
                    : (server.bind_to_port(listen.host, listen.port) ? listen.port : -1);
            if (port < 0) {
                throw VerloException("Cannot listen on " + *metricsAddress);
            }
            server.Get("/metrics", [&](const httplib::Request&, httplib::Response& response) {
                std::vector<UnitSnapshot> snapshots;
                snapshots.reserve(hubs.size());
                for (const auto& hub : hubs) {
                    snapshots.push_back(hub->snapshot());
                }
                response.set_content(metricsText(snapshots),
                                     "text/plain; version=0.0.4; charset=utf-8");
            });
            serving = std::thread([&] { server.listen_after_bind(); });
            std::cout << port << '\n';
        }
        std::cout << std::flush;
        for (const auto& hub : hubs) {
            hub->start();
        }

        int received = 0;
        sigwait(&signals, &received);
        if (serving.joinable()) {
            server.stop();
            serving.join();
        }
        for (const auto& hub : hubs) {
            hub->requestStop();
        }
        hubs.clear();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "trx4-hub: " << error.what() << std::endl;
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    // Whatever escapes (memory running out while the command line is read)
    // still ends the program with a message rather than an abort.
    try {
        return runProgram(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "trx4-hub: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "trx4-hub: an unexpected failure ended the program" << std::endl;
    }
    return 1;
}
