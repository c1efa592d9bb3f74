#include "HubProgram.h"

#include "HubFleet.h"
#include "Log.h"
#include "MetricsServer.h"
#include "MetricsText.h"
#include "ProcessMetrics.h"
#include "SignalWatcher.h"

#include "base/VerloException.h"
#include "base/Version.h"
#include "session/ConnectionTarget.h"
#include "session/UnitsFile.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <exception>
#include <iomanip>
#include <iostream>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
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
    "hosts and is tried again after 1 s, then after twice as long each time, up to 30 s, "
    "until it has stayed up 30 s. "
    "Standard output has one line per served unit, in the file's order: the port served; "
    "then the metrics port. "
    "SIGHUP, or POST /-/reload on the metrics address, reads the units file again: units "
    "added start, units removed stop, a unit whose line is unchanged keeps its connection "
    "and its hosts; a bad file changes nothing. Units beyond what the descriptor limit "
    "allows are not started. "
    "Stops cleanly on SIGINT or SIGTERM; exit code 1 means it could not run, 2 a "
    "command-line error.";

constexpr const char* exporterDescription =
    "Serves the state of TRX4 units in the Prometheus text format on /metrics. "
    "Keeps one connection to each unit of the units file and polls it about once "
    "a second; a unit that fails is tried again after 1 s, then after twice as "
    "long each time, up to 30 s, until it has stayed up 30 s. A scrape never waits for a unit. The "
    "first line "
    "of standard output is the port listened on. SIGHUP, or POST /-/reload, reads "
    "the units file again; a bad file changes nothing. Stops cleanly on SIGINT or "
    "SIGTERM; exit code 1 means it could not run, 2 a command-line error. "
    "trx4-exporter is trx4-hub without served ports and will be removed in a later "
    "release: use trx4-hub --web.listen-address.";

// Whether the units file last read was good, and when one last was.
struct ReloadStatus {
    std::atomic<bool> successful{false};
    std::atomic<double> lastSuccessSeconds{0};

    void record(bool good) {
        successful = good;
        if (good) {
            lastSuccessSeconds =
                std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                    .count();
        }
    }
    std::string metricsText() const {
        std::ostringstream text;
        text << std::setprecision(15)
             << "# HELP trx4_config_last_reload_successful 1 when the units file last read was "
                "good, 0 when it was not and the units already running were kept.\n"
                "# TYPE trx4_config_last_reload_successful gauge\n"
                "trx4_config_last_reload_successful "
             << (successful ? 1 : 0)
             << "\n# HELP trx4_config_last_reload_success_timestamp_seconds Unix time of the "
                "last good reading of the units file.\n"
                "# TYPE trx4_config_last_reload_success_timestamp_seconds gauge\n"
                "trx4_config_last_reload_success_timestamp_seconds "
             << lastSuccessSeconds << "\n";
        return text.str();
    }
};

// Raises the soft limit on open descriptors to the hard one, which is what
// the units may use; returns the limit in force.
std::size_t raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        throw std::system_error(errno, std::generic_category(), "reading the descriptor limit");
    }
    if (limit.rlim_cur != limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = raised.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        } else {
            logLine(LogLevel::warning, "cannot raise the descriptor limit from " +
                                           std::to_string(limit.rlim_cur) + ": " +
                                           std::generic_category().message(errno));
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? std::numeric_limits<std::size_t>::max()
                                           : static_cast<std::size_t>(limit.rlim_cur);
}

// The units of the file the program runs: the exporter serves no ports, and
// without metrics a unit with nothing to serve is left alone.
std::vector<UnitEntry> unitsToRun(const std::string& path, bool exporter, bool metrics) {
    std::vector<UnitEntry> units;
    for (UnitEntry& unit : readUnitsFile(path)) {
        if (exporter) {
            unit.serve.reset();
        }
        if (unit.serve || metrics) {
            units.push_back(std::move(unit));
        }
    }
    if (units.empty()) {
        throw VerloException(path + ": no unit has a serve: address, and no --web.listen-address");
    }
    return units;
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
        // First, so that every thread started later leaves the signals to it.
        SignalWatcher signals;
        std::signal(SIGPIPE, SIG_IGN);
        const auto readUnits = [&] {
            return unitsToRun(unitsPath, exporter, metricsAddress.has_value());
        };
        HubFleet fleet(raiseDescriptorLimit());
        if (!fleet.apply(readUnits(), signals.stopping())) {
            return 1;
        }
        ReloadStatus status;
        status.record(true);
        std::mutex reloading;
        std::unique_ptr<MetricsServer> metrics;
        // Set once before the server's threads start, and read by them
        // instead of metrics, which the end resets while a request may run.
        MetricsServer* webServer = nullptr;
        // From SIGHUP on this thread, or POST /-/reload on the metrics server's.
        const auto reload = [&](std::string& error) {
            const std::lock_guard<std::mutex> guard(reloading);
            bool good = false;
            try {
                good = fleet.apply(readUnits(), signals.stopping());
                error = good ? "" : "some of its units could not be started";
                logLine(good ? LogLevel::info : LogLevel::error,
                        "reloaded " + unitsPath + (good ? "" : ", but " + error));
            } catch (const VerloException& failure) {
                error = failure.what();
                logLine(LogLevel::error, "reloading " + unitsPath + " failed, and the units " +
                                             "running before are kept: " + error);
            }
            if (webServer != nullptr) {
                try {
                    webServer->reloadWebConfig();
                } catch (const VerloException& failure) {
                    good = false;
                    error += (error.empty() ? "" : "; ") + std::string(failure.what());
                    logLine(LogLevel::error, "reloading the web configuration failed, and the "
                                             "one before is kept: " +
                                                 std::string(failure.what()));
                }
            }
            status.record(good);
            return good;
        };
        if (signals.stopping()) {
            return 0;
        }
        for (const std::uint16_t port : fleet.ports()) {
            if (port != 0) {
                std::cout << port << '\n';
            }
        }
        if (metricsAddress) {
            web.listenAddress = *metricsAddress;
            metrics = std::make_unique<MetricsServer>(
                web,
                [&] {
                    return metricsText(fleet.snapshots()) + status.metricsText() +
                           processMetricsText();
                },
                reload);
            webServer = metrics.get();
            metrics->start();
            std::cout << metrics->port() << '\n';
        }
        std::cout << std::flush;
        std::string error;
        while (signals.next() == SignalWatcher::Event::reload) {
            reload(error);
        }
        metrics.reset();
        fleet.stopAll();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << name << ": " << error.what() << std::endl;
        return 1;
    }
}
