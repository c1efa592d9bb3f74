// trx4-exporter: serves the state of many TRX4 units to Prometheus. See --help.
#include "MetricsText.h"
#include "UnitPoller.h"

#include "base/VerloException.h"
#include "base/Version.h"
#include "session/ConnectionTarget.h"
#include "session/UnitsFile.h"

#include <CLI/CLI.hpp>
#include <httplib.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
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
    CLI::App app("Serves the state of TRX4 units in the Prometheus text format on /metrics. "
                 "Keeps one connection to each unit of the units file and polls it about once "
                 "a second; a unit that fails is tried again after 1 s, then after twice as "
                 "long each time, up to 30 s. A scrape never waits for a unit. The first line "
                 "of standard output is the port listened on. Stops cleanly on SIGINT or "
                 "SIGTERM; exit code 1 means it could not run, 2 a command-line error.",
                 "trx4-exporter");
    app.set_version_flag("--version", std::string("trx4-exporter (TRX4 Remote) ") + trx4Version,
                         "Print the version and exit");
    std::string unitsPath;
    std::string listenText = "127.0.0.1:9464";
    app.add_option("--units", unitsPath,
                   "The units to watch: one a line, NAME tcp:HOST[:PORT] or NAME "
                   "serial:COMn|/dev/PATH; # starts a comment")
        ->type_name("FILE")
        ->required();
    app.add_option("--listen", listenText,
                   "Address to serve /metrics on (default 127.0.0.1:9464: this machine only; "
                   "port 0 picks a free port)")
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
        const std::vector<UnitEntry> units = readUnitsFile(unitsPath);
        const ConnectionTarget listen = ConnectionTarget::parseListen(listenText);

        // Blocked before any thread starts, so every thread inherits the mask
        // and the signals wait for sigwait below.
        const sigset_t signals = stopSignals();
        if (const int error = pthread_sigmask(SIG_BLOCK, &signals, nullptr); error != 0) {
            throw std::system_error(error, std::generic_category(), "blocking the stop signals");
        }
        std::signal(SIGPIPE, SIG_IGN);

        httplib::Server server;
        const int port = listen.port == 0
                             ? server.bind_to_any_port(listen.host)
                             : (server.bind_to_port(listen.host, listen.port) ? listen.port : -1);
        if (port < 0) {
            throw VerloException("Cannot listen on " + listenText);
        }

        std::vector<std::unique_ptr<UnitPoller>> pollers;
        const auto interval = UnitPoller::defaultInterval;
        for (std::size_t i = 0; i < units.size(); ++i) {
            pollers.push_back(
                std::make_unique<UnitPoller>(units[i], interval, interval * i / units.size()));
        }

        server.Get("/metrics", [&](const httplib::Request&, httplib::Response& response) {
            std::vector<UnitSnapshot> snapshots;
            snapshots.reserve(pollers.size());
            for (const auto& poller : pollers) {
                snapshots.push_back(poller->snapshot());
            }
            response.set_content(metricsText(snapshots),
                                 "text/plain; version=0.0.4; charset=utf-8");
        });
        server.Get("/", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("trx4-exporter: the metrics are on /metrics\n", "text/plain");
        });
        std::thread serving([&] { server.listen_after_bind(); });

        std::cout << port << std::endl;
        std::cerr << "trx4-exporter: watching " << units.size() << " units, serving http://"
                  << listen.host << ":" << port << "/metrics" << std::endl;

        int received = 0;
        sigwait(&signals, &received);
        server.stop();
        serving.join();
        for (const auto& poller : pollers) {
            poller->requestStop();
        }
        pollers.clear();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "trx4-exporter: " << error.what() << std::endl;
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
        std::cerr << "trx4-exporter: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "trx4-exporter: an unexpected failure ended the program" << std::endl;
    }
    return 1;
}
