// trx4-unit: a TRX4 unit on a TCP port or a pseudo-terminal. See --help.
#include "PtyServer.h"
#include "Scenario.h"
#include "StopSignal.h"
#include "TcpServer.h"
#include "TraceWriter.h"
#include "UnitFleet.h"
#include "UnitOptions.h"
#include "UnitResponder.h"
#include "UnitState.h"

#include "base/Version.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <exception>
#include <iostream>
#include <memory>

namespace {

int runProgram(int argc, char** argv) {
    CLI::App app("", "trx4-unit");
    app.set_version_flag("--version", std::string("trx4-unit (TRX4 Remote) ") + trx4Version,
                         "Print the version and exit");
    UnitOptions options;
    UnitOptions::declare(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end here too, with exit code 0.
        return app.exit(error) == 0 ? 0 : 2;
    }

    try {
        const auto started = std::chrono::steady_clock::now();
        StopSignal::install();
        if (options.units > 1) {
            UnitFleet fleet(options, started);
            fleet.listen();
            for (const auto port : fleet.ports()) {
                std::cout << port << '\n';
            }
            std::cout << std::flush;
            std::cerr << "trx4-unit: " << options.units << " units listening on "
                      << options.listenHost << " (scenario " << options.scenario << ")"
                      << std::endl;
            fleet.run();
            return 0;
        }
        std::unique_ptr<TraceWriter> trace;
        if (!options.tracePath.empty()) {
            trace = TraceWriter::open(options.tracePath);
        }
        UnitState state(UnitState::catalogueRanges());
        UnitResponder responder(state, *Scenario::find(options.scenario), options);

        // The first line of standard output is what a script needs to reach
        // the unit; everything for people goes to standard error.
        if (options.pty) {
            PtyServer server(options, responder, trace.get(), started);
            server.open();
            std::cout << server.path() << std::endl;
            std::cerr << "trx4-unit: serial line on " << server.path() << " (scenario "
                      << options.scenario << (options.lineRate ? ", 115200 baud" : "") << ")"
                      << std::endl;
            server.run();
        } else {
            TcpServer server(options, responder, trace.get(), started);
            server.listen();
            std::cout << server.port() << std::endl;
            std::cerr << "trx4-unit: listening on " << options.listenHost << ":" << server.port()
                      << " (scenario " << options.scenario << ")" << std::endl;
            server.run();
        }
        if (trace) {
            trace->event("stopped");
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "trx4-unit: " << error.what() << std::endl;
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
        std::cerr << "trx4-unit: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "trx4-unit: an unexpected failure ended the program" << std::endl;
    }
    return 1;
}
