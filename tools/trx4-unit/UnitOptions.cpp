#include "UnitOptions.h"

#include "Scenario.h"

#include "session/ConnectionTarget.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace {

// The whole text as a decimal number of at most `maximum`.
std::optional<unsigned long> parseNumber(std::string_view text, unsigned long maximum) {
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::string scenarioHelp() {
    std::string help = "State the unit reports (default " + Scenario::defaultScenario().name + "):";
    for (const Scenario& scenario : Scenario::all()) {
        help += "\n  " + scenario.name + ": " + scenario.description;
    }
    return help;
}

} // namespace

FlashFault FlashFault::parse(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        throw std::invalid_argument("expected STEP:CODE, e.g. download:2");
    }
    const std::string step = text.substr(0, colon);
    FlashFault fault;
    if (step == "erase") {
        fault.step = FlashStep::Erase;
    } else if (step == "download") {
        fault.step = FlashStep::Download;
    } else if (step == "burn") {
        fault.step = FlashStep::Burn;
    } else {
        throw std::invalid_argument("STEP must be erase, download or burn, not '" + step + "'");
    }
    const auto code = parseNumber(std::string_view(text).substr(colon + 1), 0xFFFF);
    if (!code) {
        throw std::invalid_argument("CODE must be a number from 0 to 65535");
    }
    fault.code = static_cast<std::uint16_t>(*code);
    return fault;
}

WireFault WireFault::parse(const std::string& text) {
    const auto colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    WireFault fault;
    if (kind == "garbage") {
        fault.kind = Garbage;
    } else if (kind == "oversize") {
        fault.kind = Oversize;
    } else {
        throw std::invalid_argument("KIND must be garbage or oversize, not '" + kind + "'");
    }
    if (colon != std::string::npos) {
        const auto every = parseNumber(std::string_view(text).substr(colon + 1), 0xFFFFFFFF);
        if (!every || *every == 0) {
            throw std::invalid_argument("N must be a number from 1");
        }
        fault.every = static_cast<std::uint32_t>(*every);
    }
    return fault;
}

std::array<std::uint8_t, 4> UnitOptions::parseFirmware(const std::string& text) {
    std::array<std::uint8_t, 4> version{};
    std::string_view rest(text);
    for (std::size_t part = 0; part < version.size(); ++part) {
        const auto dot = part + 1 < version.size() ? rest.find('.') : rest.size();
        const auto number = parseNumber(rest.substr(0, dot), part == 0 ? 127 : 255);
        if (dot == std::string_view::npos || !number) {
            throw std::invalid_argument(
                "expected A.B.C.D with A from 0 to 127 and B, C, D from 0 to 255, e.g. 1.4.0.0");
        }
        version[part] = static_cast<std::uint8_t>(*number);
        rest.remove_prefix(std::min(rest.size(), dot + 1));
    }
    return version;
}

void UnitOptions::declare(CLI::App& app, UnitOptions& options) {
    app.description(
        "TRX4 unit emulator: answers the TRX4 Remote application as a TRX4 decoder would, "
        "over TCP or a pseudo-terminal.\n"
        "In TCP mode the first line of standard output is the port listened on (one line per "
        "unit with --units); with --pty it is the path of the terminal to open as the serial "
        "port. Stops cleanly on SIGINT or "
        "SIGTERM (exit code 0); exit code 1 means it could not run, 2 a command-line error.");

    CLI::Option* listen =
        app.add_option_function<std::string>(
               "--listen",
               [&options](const std::string& text) {
                   const ConnectionTarget listen = ConnectionTarget::parseListen(text);
                   options.listenHost = listen.host;
                   options.listenPort = listen.port;
               },
               "Address to listen on for one host at a time (default 127.0.0.1:4444; port 0 picks "
               "a free port). Meanwhile other connections are closed at once, and a host that "
               "sends nothing within 10 s of connecting is dropped")
            ->type_name("HOST:PORT")
            ->check([](const std::string& text) {
                try {
                    ConnectionTarget::parseListen(text);
                    return std::string();
                } catch (const std::invalid_argument& error) {
                    return std::string(error.what());
                }
            });
    app.add_flag("--pty", options.pty,
                 "Speak the serial frame protocol on a new pseudo-terminal instead of TCP")
        ->excludes(listen);
    app.add_option("--units", options.units,
                   "Play this many units at once, each with its own state, on the listen port "
                   "and the ones after it (free ports with port 0); prints one port a line")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
    app.add_option("--status-interval-ms", options.statusIntervalMs,
                   "Period of the unsolicited Status messages with the level meters "
                   "(default 100; 0 sends none)")
        ->type_name("MS");
    app.add_option("--scenario", options.scenario, scenarioHelp())
        ->type_name("NAME")
        ->check([](const std::string& name) {
            return Scenario::find(name) ? std::string() : "unknown scenario '" + name + "'";
        });
    app.add_option("--reboot-seconds", options.rebootSeconds,
                   "How long a reboot after Burn And Reboot refuses connections (default 20)")
        ->type_name("S");
    app.add_option_function<std::string>(
           "--firmware",
           [&options](const std::string& text) { options.firmware = parseFirmware(text); },
           "Firmware version the unit starts with (default 1.4.0.0; \"SSM Mode\" needs 1.3 or "
           "later)")
        ->type_name("A.B.C.D")
        ->check([](const std::string& text) {
            try {
                parseFirmware(text);
                return std::string();
            } catch (const std::invalid_argument& error) {
                return std::string(error.what());
            }
        });
    app.add_option("--trace", options.tracePath,
                   "Write one JSON object per line for every message received and sent")
        ->type_name("FILE");

    app.add_option("--set-error", options.setError,
                   "Answer every Set with an Error reply carrying this parameter status code "
                   "(1 Illegal Parameter Id, 2 Illegal Parameter Value, 3 Conflicting Parameter "
                   "Values)")
        ->type_name("CODE");
    app.add_flag("--ignore-set", options.ignoreSet,
                 "Take every Set without applying or answering it, as a unit that lost it");
    app.add_option_function<std::string>(
           "--flash-error",
           [&options](const std::string& text) { options.flashError = FlashFault::parse(text); },
           "Answer every flash step of kind STEP (erase, download or burn) with a Flash "
           "Operation Done carrying CODE (1 retry, 2 return for servicing)")
        ->type_name("STEP:CODE")
        ->check([](const std::string& text) {
            try {
                FlashFault::parse(text);
                return std::string();
            } catch (const std::invalid_argument& error) {
                return std::string(error.what());
            }
        });
    app.add_flag("--silent", options.silent, "Never answer Get All");
    app.add_option("--drop-after-seconds", options.dropAfterSeconds,
                   "Drop each host this many seconds after its first message (over --pty: send "
                   "a disconnect frame)")
        ->type_name("S")
        ->check([](const std::string& text) {
            // A range check alone lets "nan" through: it compares false both ways.
            char* end = nullptr;
            const double seconds = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0) {
                return "expected a positive number of seconds, not '" + text + "'";
            }
            return std::string();
        });
    app.add_option("--corrupt-every", options.corruptEvery,
                   "With --pty: send every Nth frame with a wrong CRC")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    app.add_flag("--line-rate", options.lineRate,
                 "With --pty: carry every byte each way at 115200 baud (8N1, 11520 bytes a "
                 "second), one byte after another, as a real serial line does");
    app.add_option("--latency-ms", options.latencyMs, "Delay every reply by this long")
        ->type_name("MS");
    app.add_option_function<std::string>(
           "--wire-fault",
           [&options](const std::string& text) { options.wireFault = WireFault::parse(text); },
           "Send, instead of every Nth unsolicited Status (default every one), random bytes "
           "(garbage) or a message longer than the host accepts (oversize)")
        ->type_name("KIND[:N]")
        ->check([](const std::string& text) {
            try {
                WireFault::parse(text);
                return std::string();
            } catch (const std::invalid_argument& error) {
                return std::string(error.what());
            }
        });

    app.callback([&options] {
        if (options.corruptEvery != 0 && !options.pty) {
            throw CLI::ValidationError("--corrupt-every",
                                       "corrupts serial frames, so it needs --pty");
        }
        if (options.lineRate && !options.pty) {
            throw CLI::ValidationError("--line-rate", "paces a serial line, so it needs --pty");
        }
        if (options.units > 1 && (options.pty || !options.tracePath.empty())) {
            throw CLI::ValidationError("--units",
                                       "plays units over TCP only, without --pty or --trace");
        }
        if (options.units > 1 && options.listenPort != 0 &&
            options.listenPort + options.units - 1 > 0xFFFF) {
            throw CLI::ValidationError("--units", "the ports after the listen port run past 65535");
        }
        if (options.scenario.empty()) {
            options.scenario = Scenario::defaultScenario().name;
        }
    });
}
