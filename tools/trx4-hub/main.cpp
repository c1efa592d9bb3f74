// trx4-hub: shares one connection to each TRX4 unit with many hosts. See --help.
#include "UnitHub.h"

#include "session/UnitsFile.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Keeps one connection to each unit of the units file and serves the unit's own "
        "protocol, as the unit serves it on its port 4444, to any number of hosts on the "
        "address given by the unit's serve:HOST:PORT field; units without one are not served. "
        "Anyone who can reach a served port can change the unit, as with the unit itself: "
        "serve on loopback (127.0.0.1) unless the network is trusted. A lost unit closes its "
        "hosts and is tried again after 1 s, then after twice as long each time, up to 30 s. "
        "Standard output has one line per served unit, in the file's order: the port served. "
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
            if (unit.serve) {
                hubs.push_back(std::make_unique<UnitHub>(std::move(unit)));
            }
        }
        if (hubs.empty()) {
            std::cerr << "trx4-hub: " << unitsPath << ": no unit has a serve: address" << std::endl;
            return 1;
        }
        for (const auto& hub : hubs) {
            std::cout << hub->port() << '\n';
        }
        std::cout << std::flush;
        for (const auto& hub : hubs) {
            hub->start();
        }

        int received = 0;
        sigwait(&signals, &received);
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
