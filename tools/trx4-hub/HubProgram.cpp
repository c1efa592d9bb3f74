#include "HubProgram.h"

#include "MetricsServer.h"
#include "MetricsText.h"
#include "ProcessMetrics.h"
#include "UnitHub.h"

#include "base/Version.h"
#include "session/ConnectionTarget.h"
#include "session/UnitsFile.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr const char* hubDescription =
    "Keeps one connection to each unit of the units file and serves the unit's own "
    "protocol, as the unit serves it on its port 4444, to any number of hosts on the "
    "address given by the unit's serve:HOST:PORT field. With --web.listen-address it also "
    "serves /metrics for every unit of the file from the same connections; without it, "
    "units without a serve field are left alone. "
    "Anyone who can reach a served port can change the unit, as with the unit itself: "
    "serve on loopback (127.0.0.1) unless the network is trusted. A lost unit closes its "
    "hosts and is tried again after 1 s, then after twice as long each time, up to 30 s. "
    "Standard output has one line per served unit, in the file's order: the port served; "
    "then the metrics port. "
    "Stops cleanly on SIGINT or SIGTERM; exit code 1 means it could not run, 2 a "
    "command-line error.";

constexpr const char* exporterDescription =
    "Serves the state of TRX4 units in the Prometheus text format on /metrics. "
    "Keeps one connection to each unit of the units file and polls it about once "
    "a second; a unit that fails is tried again after 1 s, then after twice as "
    "long each time, up to 30 s. A scrape never waits for a unit. The first line "
    "of standard output is the port listened on. Stops cleanly on SIGINT or "
    "SIGTERM; exit code 1 means it could not run, 2 a command-line error. "
    "trx4-exporter is trx4-hub without served ports and will be removed in a later "
    "release: use trx4-hub --web.listen-address.";

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

int runHubProgram(int argc, char** argv, HubProgramKind kind) {
    const bool exporter = kind == HubProgramKind::exporter;
    const std::string name = exporter ? "trx4-exporter" : "trx4-hub";
    CLI::App app(exporter ? exporterDescription : hubDescription, name);
    app.set_version_flag("--version", name + " (TRX4 Remote) " + trx4Version,
                         "Print the version and exit");
    std::string unitsPath;
    app.add_option("--units", unitsPath,
                   exporter ? "The units to watch: one a line, NAME tcp:HOST[:PORT] or NAME "
                              "serial:COMn|/dev/PATH; # starts a comment"
                            : "The units: one a line, NAME tcp:HOST[:PORT] or NAME "
                              "serial:COMn|/dev/PATH, then serve:HOST:PORT or "
                              "serve:[IPv6]:PORT (port 0 picks a free port); # starts a comment")
        ->type_name("FILE")
        ->required();
    std::optional<std::string> metricsAddress;
    if (exporter) {
        metricsAddress = "127.0.0.1:9464";
    }
    app.add_option(exporter ? "--web.listen-address,--listen"
                            : "--web.listen-address,--listen,--metrics",
                   metricsAddress,
                   exporter ? "Address to serve /metrics on (default 127.0.0.1:9464: this "
                              "machine only; port 0 picks a free port)"
                            : "Also serve /metrics on this address (127.0.0.1:9464 is the "
                              "usual one; port 0 picks a free port)")
        ->type_name("HOST:PORT")
        ->check([](const std::string& text) {
            try {
                ConnectionTarget::parseListen(text);
                return std::string();
            } catch (const std::invalid_argument& error) {
                return std::string(error.what());
            }
        });
    MetricsServerOptions web;
    app.add_option("--web.telemetry-path", web.telemetryPath,
                   "Path to serve the metrics on (default /metrics)")
        ->type_name("PATH");
    app.add_option("--web.config.file", web.webConfigFile,
                   "Web configuration file in the Prometheus exporters' format: "
                   "tls_server_config (cert_file, key_file) for HTTPS, basic_auth_users "
                   "(user: bcrypt hash) for basic auth")
        ->type_name("FILE");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : 2;
    }

    try {
        // Blocked before any thread starts, so every thread inherits the mask
        // and the signals wait for sigwait below.
        const sigset_t signals = stopSignals();
        if (const int error = pthread_sigmask(SIG_BLOCK, &signals, nullptr); error != 0) {
            throw std::system_error(error, std::generic_category(), "blocking the stop signals");
        }
        std::signal(SIGPIPE, SIG_IGN);

        std::vector<std::unique_ptr<UnitHub>> hubs;
        for (UnitEntry& unit : readUnitsFile(unitsPath)) {
            if (exporter) {
                unit.serve.reset();
            }
            if (unit.serve || metricsAddress) {
                hubs.push_back(std::make_unique<UnitHub>(std::move(unit)));
            }
        }
        if (hubs.empty() && !exporter) {
            std::cerr << name << ": " << unitsPath
                      << ": no unit has a serve: address, and no --web.listen-address" << std::endl;
            return 1;
        }
        for (const auto& hub : hubs) {
            if (hub->port() != 0) {
                std::cout << hub->port() << '\n';
            }
        }

        std::unique_ptr<MetricsServer> metrics;
        if (metricsAddress) {
            web.listenAddress = *metricsAddress;
            metrics = std::make_unique<MetricsServer>(
                web,
                [&hubs] {
                    std::vector<UnitSnapshot> snapshots;
                    snapshots.reserve(hubs.size());
                    for (const auto& hub : hubs) {
                        snapshots.push_back(hub->snapshot());
                    }
                    return metricsText(snapshots) + processMetricsText();
                },
                [&metrics](std::string& error) {
                    try {
                        metrics->reloadWebConfig();
                        return true;
                    } catch (const std::exception& failure) {
                        error = failure.what();
                        return false;
                    }
                });
            metrics->start();
            std::cout << metrics->port() << '\n';
        }
        std::cout << std::flush;
        for (const auto& hub : hubs) {
            hub->start();
        }

        int received = 0;
        sigwait(&signals, &received);
        metrics.reset();
        for (const auto& hub : hubs) {
            hub->requestStop();
        }
        hubs.clear();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << std::endl;
        return 1;
    }
}
