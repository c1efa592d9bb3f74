// trx4ctl: reads, changes, backs up, compares, restores and upgrades a TRX4
// from the command line. See --help.
#include "CommandErrors.h"
#include "ConfigurationFiles.h"
#include "ExitStatus.h"
#include "FirmwareCommand.h"
#include "FleetCommand.h"
#include "ParameterCommands.h"
#include "StandardOutput.h"
#include "TerminalText.h"
#include "UnitCommands.h"

#include "base/VerloException.h"
#include "base/Version.h"
#include "catalogue/KORAParams.h"
#include "model/ConfigurationDiff.h"
#include "model/ConfigurationFile.h"
#include "session/ConfigurationLoad.h"
#include "session/UnitSession.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int) {
    interrupted = true;
}

struct Arguments {
    std::string tcp;
    std::string serial;
    bool offline = false;
    bool json = false;
    std::vector<std::string> names;
    std::vector<std::string> files;
    std::string logKind;
    bool html = false;
    bool text = false;
    FirmwareCommand::Options firmware;
    unsigned rebootTimeoutSeconds = 120;
    unsigned watchCount = 0;
    std::string unitsFile;
    std::vector<std::string> only;
    unsigned jobs = 8;
    bool fleetJson = false;
};

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Only --offline, or no connection option at all, means the simulated unit:
// an empty --tcp or --serial is a mistake, never a quiet fallback.
ConnectionTarget targetOf(const CLI::App& app, const Arguments& arguments) {
    try {
        if (app.count("--tcp") > 0) {
            ConnectionTarget target = ConnectionTarget::parseTcp(arguments.tcp);
            if (blank(target.host)) {
                throw UsageError("--tcp needs a host, not '" + arguments.tcp + "'");
            }
            return target;
        }
        if (app.count("--serial") > 0) {
            if (blank(arguments.serial)) {
                throw UsageError("--serial needs a port, not '" + arguments.serial + "'");
            }
            return ConnectionTarget::parseSerial(arguments.serial);
        }
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
    return ConnectionTarget{};
}

UnitCommands::LogKind logKind(const Arguments& arguments) {
    return arguments.logKind == "events" ? UnitCommands::LogKind::Events
                                         : UnitCommands::LogKind::Errors;
}

UnitCommands::ReportFormat reportFormat(const Arguments& arguments) {
    return arguments.text ? UnitCommands::ReportFormat::Text : UnitCommands::ReportFormat::Html;
}

// The command on the units of a units file, each writing or reading its own
// file in one directory.
ExitStatus runFleet(const std::string& command, Arguments& arguments) {
    if (command == "list" || command == "set" || command == "show" || command == "watch") {
        throw UsageError("--units works with get, save, diff, load, log, report and firmware, "
                         "not " +
                         command);
    }
    FleetCommand::Request request{command,
                                  arguments.names,
                                  "",
                                  logKind(arguments),
                                  reportFormat(arguments),
                                  arguments.firmware,
                                  arguments.jobs,
                                  arguments.fleetJson};
    if (command != "get" && command != "firmware") {
        if (arguments.files.size() != 1 || blank(arguments.files[0])) {
            throw UsageError("with --units, " + command + " needs one directory");
        }
        request.directory = arguments.files[0];
    }
    if (command == "get") {
        // A bad name is one usage error, not one failure per unit.
        UnitSession offline;
        offline.goOffLine();
        std::ostringstream ignored;
        ParameterCommands::get(*offline.parameters(), arguments.names, ignored);
    }
    request.firmware.rebootTimeout = std::chrono::seconds(arguments.rebootTimeoutSeconds);
    std::vector<UnitEntry> units;
    try {
        units = readUnitsFile(arguments.unitsFile);
    } catch (const VerloException& error) {
        throw FileException(arguments.unitsFile, error.what());
    }
    return FleetCommand::run(FleetCommand::select(units, arguments.only), request, std::cin,
                             std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

ExitStatus run(CLI::App& app, Arguments& arguments) {
    const auto command = app.get_subcommands().front()->get_name();
    if (app.count("--units") > 0) {
        return runFleet(command, arguments);
    }
    if (command == "log" && !arguments.files.empty()) {
        throw UsageError("log writes to a directory only with --units");
    }
    const ConnectionTarget target = targetOf(app, arguments);
    const bool simulated = target.kind == ConnectionTarget::Kind::Offline;

    // Commands on files alone name their parameters after the simulated unit.
    if (command == "show" || (command == "diff" && arguments.files.size() == 2)) {
        UnitSession offline;
        offline.goOffLine();
        KORAParams& named = *offline.parameters();
        if (command == "show") {
            ConfigurationFiles::show(named, arguments.files[0], std::cout, std::cerr);
            return Success;
        }
        const auto left = ConfigurationFile::read(arguments.files[0]);
        const auto right = ConfigurationFile::read(arguments.files[1]);
        return ConfigurationFiles::diff(named, left, right, std::cout) == 0 ? Success : Different;
    }

    // The simulated unit flashes nothing; "Firmware Upgraded" would be a lie.
    if (command == "firmware") {
        if (simulated) {
            throw UsageError("a firmware update needs a unit: name one with --tcp or --serial");
        }
        arguments.firmware.rebootTimeout = std::chrono::seconds(arguments.rebootTimeoutSeconds);
        FirmwareCommand::run(target, arguments.firmware, std::cin, std::cout);
        return Success;
    }
    // A backup or a comparison of factory values must not pass for the unit's.
    if (simulated &&
        (command == "save" || command == "diff" || command == "load" || command == "report")) {
        std::cerr << "trx4ctl: working with the simulated unit (factory values, forgotten when "
                     "trx4ctl ends); name a unit with --tcp or --serial\n";
    }
    UnitSession session;
    session.open(target);
    KORAParams& params = *session.parameters();
    if (command == "list") {
        ParameterCommands::list(params, std::cout, arguments.json);
    } else if (command == "get") {
        ParameterCommands::get(params, arguments.names, std::cout);
    } else if (command == "set") {
        ParameterCommands::set(params, arguments.names, std::cout);
    } else if (command == "save") {
        ConfigurationFiles::save(params, arguments.files[0]);
    } else if (command == "load") {
        ConfigurationLoad::load(params, arguments.files[0]);
    } else if (command == "diff") {
        const auto file = ConfigurationFile::read(arguments.files[0]);
        const auto unit = ConfigurationDiff::saved(params);
        return ConfigurationFiles::diff(params, file, unit, std::cout) == 0 ? Success : Different;
    } else if (command == "log") {
        UnitCommands::log(params, logKind(arguments), std::cout);
    } else if (command == "report") {
        std::optional<std::string> path;
        if (!arguments.files.empty()) {
            path = arguments.files[0];
        }
        UnitCommands::report(params, reportFormat(arguments), path, std::cout);
    } else if (command == "watch") {
        std::signal(SIGINT, onInterrupt);
        std::signal(SIGTERM, onInterrupt);
        UnitCommands::watch(params, std::cout, ::isatty(STDOUT_FILENO) == 1, arguments.watchCount,
                            interrupted);
    }
    return Success;
}

void declare(CLI::App& app, Arguments& arguments) {
    app.require_subcommand(1, 1);
    auto* tcp = app.add_option("--tcp", arguments.tcp,
                               "Connect over TCP to HOST, on port 4444 unless PORT is given")
                    ->type_name("HOST[:PORT]");
    auto* serial = app.add_option("--serial", arguments.serial,
                                  "Connect over a serial line at 115200 baud: COMn (the device "
                                  "/dev/ttyS<n-1>) or a device path such as /dev/ttyUSB0")
                       ->type_name("COMn|/dev/PATH");
    auto* offline = app.add_flag("--offline", arguments.offline,
                                 "Use a unit simulated in memory (the default when no connection "
                                 "is named); it forgets every change when trx4ctl ends");
    auto* units =
        app.add_option("--units", arguments.unitsFile,
                       "Run the command on every unit of FILE (one a line: NAME tcp:HOST[:PORT] "
                       "or NAME serial:COMn|/dev/PATH; # starts a comment), each on its own "
                       "connection, and print one line per unit: name, outcome, detail. save, "
                       "diff, load, log and report take a directory DIR and use DIR/NAME.trx, "
                       ".log, .html or .txt")
            ->type_name("FILE");
    tcp->excludes(serial)->excludes(offline)->excludes(units);
    serial->excludes(offline)->excludes(units);
    offline->excludes(units);
    app.add_option("--only", arguments.only, "With --units: only these units")
        ->type_name("NAME,...")
        ->delimiter(',')
        ->needs(units);
    app.add_option("--jobs", arguments.jobs, "With --units: units worked on at once (default 8)")
        ->type_name("N")
        ->check(CLI::Range(1, 64))
        ->needs(units);
    app.add_flag("--json", arguments.fleetJson,
                 "With --units: a JSON array of {unit, status, outcome, detail} instead of lines")
        ->needs(units);
    app.footer("Parameters are named by identifier (0x0303) or display name (\"Cinema "
               "Processor\", any case); values by number or display text (\"Arvo B\").\n"
               "Exit status, ordered by severity: 0 success; 1 differences found (diff); 2 usage: "
               "the command line is wrong, including a value outside a parameter's limits or too "
               "long, found before anything is sent; 3 communication or unit error, including a "
               "value the unit refuses or does not hold afterwards; 4 file error: a file cannot "
               "be read, written or used, including values no unit takes; 5 outcome unknown: a "
               "firmware burn the unit did not confirm, or a confirmed one after which the unit "
               "did not answer within the reboot time-out; 4 also when the output cannot be "
               "written.\n"
               "With --units the exit status is the worst of the units' (the highest).\n");

    app.add_subcommand("list", "List every parameter: identifier, kind/source, range, value, "
                               "name; source local marks parameters not stored on the unit")
        ->add_flag("--json", arguments.json, "Write a JSON array for machines");
    app.add_subcommand("get", "Show the values of parameters")
        ->add_option("parameters", arguments.names, "Identifiers or names")
        ->required();
    app.add_subcommand("set", "Change parameters through one transaction with the dependency rules "
                              "applied, then read them back; nothing is written when any value is "
                              "refused")
        ->add_option("assignments", arguments.names, "PARAMETER=VALUE, as many as needed")
        ->required();
    app.add_subcommand("save", "Save the unit's configuration to a file (\"*.trx\"), atomically")
        ->add_option("file", arguments.files,
                     "Configuration file; with --units a directory DIR for DIR/NAME.trx")
        ->required()
        ->expected(1);
    app.add_subcommand("load", "Check a configuration file, then write it to the unit and read "
                               "the values back; a failed load sets back what it wrote")
        ->add_option("file", arguments.files,
                     "Configuration file; with --units a directory DIR with DIR/NAME.trx")
        ->required()
        ->expected(1);
    app.add_subcommand("show", "Show a configuration file's records; needs no unit")
        ->add_option("file", arguments.files, "Configuration file")
        ->required()
        ->expected(1);
    app.add_subcommand("diff",
                       "Show the parameters whose values differ between FILE and the unit (or "
                       "FILE2), as \"ID NAME: FILE's value -> the other's\"; exit status 1 when "
                       "any differ")
        ->add_option("files", arguments.files,
                     "FILE [FILE2]; with --units a directory DIR with DIR/NAME.trx")
        ->required()
        ->expected(1, 2);
    auto* log = app.add_subcommand("log", "Show one of the unit's logs");
    log->add_option("kind", arguments.logKind, "events or errors")
        ->required()
        ->check(CLI::IsMember({"events", "errors"}));
    log->add_option("directory", arguments.files, "With --units: write DIR/NAME.log")
        ->type_name("DIR")
        ->expected(0, 1);
    auto* report = app.add_subcommand("report", "Write the parameter report (HTML by default)");
    auto* html = report->add_flag("--html", arguments.html, "An HTML page");
    report->add_flag("--text", arguments.text, "Plain text lines")->excludes(html);
    report
        ->add_option("file", arguments.files,
                     "Write to FILE instead of standard output; with --units a directory DIR for "
                     "DIR/NAME.html or .txt")
        ->expected(0, 1);
    auto* firmware = app.add_subcommand(
        "firmware", "Check a firmware image, send it to the unit, wait for the reboot and show "
                    "the new version");
    firmware->add_option("image", arguments.firmware.imagePath, "Firmware image (\"*.bin\")")
        ->required();
    firmware->add_flag("--yes,-y", arguments.firmware.confirmed, "Do not ask before sending");
    firmware
        ->add_option("--reboot-timeout", arguments.rebootTimeoutSeconds,
                     "Seconds to wait for the unit after the update (default 120)")
        ->type_name("S")
        ->check(CLI::PositiveNumber);
    app.add_subcommand("watch", "Show the status and the meters live until interrupted")
        ->add_option("--count", arguments.watchCount,
                     "Stop after this many refreshes (default: never)")
        ->type_name("N");
}

int runProgram(int argc, char** argv) {
    CLI::App app("Reads, changes, backs up, compares, restores and upgrades a TRX4 unit.",
                 "trx4ctl");
    app.set_version_flag("--version", std::string("trx4ctl (TRX4 Remote) ") + trx4Version,
                         "Print the version and exit");
    Arguments arguments;
    declare(app, arguments);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? Success : Usage;
    }

    std::string failure;
    StandardOutput output(std::cout);
    const ExitStatus status = guarded(
        [&] {
            const ExitStatus result = run(app, arguments);
            output.finish();
            return result;
        },
        failure);
    if (!failure.empty()) {
        // Not flushing standard output first: it may be what failed.
        std::cerr.tie(nullptr);
        // Failures may quote the unit's texts and a file's bytes.
        std::cerr << "trx4ctl: " << TerminalText::escaped(failure, true) << std::endl;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // Whatever escapes (memory running out while the command line is read)
    // still ends the program with a message rather than an abort.
    try {
        return runProgram(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "trx4ctl: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "trx4ctl: an unexpected failure ended the program" << std::endl;
    }
    return 1;
}
