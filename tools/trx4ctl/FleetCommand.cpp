#include "FleetCommand.h"

#include "CommandErrors.h"
#include "ConfigurationFiles.h"
#include "ParameterCommands.h"

#include "base/AtomicFile.h"
#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "model/ConfigurationDiff.h"
#include "model/ConfigurationFile.h"
#include "session/ConfigurationLoad.h"
#include "session/UnitSession.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <iomanip>
#include <mutex>
#include <netdb.h>
#include <ostream>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds hubProbeTimeout{500};

// Lines of command output as one detail: "a; b".
std::string oneLine(const std::string& lines) {
    std::string text;
    std::istringstream stream(lines);
    for (std::string line; std::getline(stream, line);) {
        text += (text.empty() ? "" : "; ") + line;
    }
    return text;
}

// Whether something accepts a TCP connection at address within timeout.
bool listening(const ConnectionTarget& address, std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (address.port == 0 ||
        ::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found) !=
            0) {
        return false;
    }
    bool connected = false;
    for (addrinfo* candidate = found; candidate != nullptr && !connected;
         candidate = candidate->ai_next) {
        const int fd =
            ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                     candidate->ai_protocol);
        if (fd < 0) {
            continue;
        }
        pollfd ready{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        connected =
            (::connect(fd, candidate->ai_addr, candidate->ai_addrlen) == 0 ||
             (errno == EINPROGRESS && ::poll(&ready, 1, static_cast<int>(timeout.count())) == 1 &&
              ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0));
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return connected;
}

// The unit's hub when its line names one that listens, as the unit serves
// one host at a time and the hub holds that place; else the unit itself.
ConnectionTarget route(const UnitEntry& unit) {
    if (unit.serve && listening(*unit.serve, hubProbeTimeout)) {
        return ConnectionTarget::tcp(unit.serve->host, unit.serve->port);
    }
    return unit.target;
}

// The command on one unit; returns Success or Different and sets detail, or
// throws as the one-unit commands do.
ExitStatus perform(const UnitEntry& unit, const FleetCommand::Request& request,
                   std::string& detail) {
    const std::string& command = request.command;
    const ConnectionTarget target = route(unit);
    if (command == "firmware") {
        std::ostringstream steps;
        detail =
            "firmware version " + FirmwareCommand::update(target, request.firmware, steps, false);
        return Success;
    }
    const std::string base = (std::filesystem::path(request.directory) / unit.name).string();
    std::string path = base + ".trx";
    if (command == "log") {
        path = base + ".log";
    } else if (command == "report") {
        path = base + (request.reportFormat == UnitCommands::ReportFormat::Html ? ".html" : ".txt");
    }
    // A missing file is found before the unit is reached.
    const ParameterValueMap file =
        command == "diff" ? ConfigurationFile::read(path) : ParameterValueMap{};
    UnitSession session;
    session.open(target);
    KORAParams& params = *session.parameters();
    std::ostringstream text;
    detail = path;
    if (command == "get") {
        ParameterCommands::get(params, request.names, text);
        detail = oneLine(text.str());
    } else if (command == "save") {
        ConfigurationFiles::save(params, path);
    } else if (command == "load") {
        ConfigurationLoad::load(params, path);
    } else if (command == "diff") {
        const auto count =
            ConfigurationFiles::diff(params, file, ConfigurationDiff::saved(params), text);
        if (count > 0) {
            detail = std::to_string(count) + " differ from " + path + ": " + oneLine(text.str());
            return Different;
        }
        detail = "same as " + path;
    } else if (command == "log") {
        UnitCommands::log(params, request.logKind, text);
        AtomicFile::write(path, text.str());
    } else if (command == "report") {
        UnitCommands::report(params, request.reportFormat, path, text);
    }
    return Success;
}

FleetCommand::Result runOne(const UnitEntry& unit, const FleetCommand::Request& request) {
    FleetCommand::Result result;
    std::string failure;
    result.status = guarded([&] { return perform(unit, request, result.detail); }, failure);
    if (result.status != Success && result.status != Different) {
        result.detail = failure;
    }
    return result;
}

// The units' results as they come in, from the worker threads to the one
// that prints them.
class Results {
public:
    explicit Results(std::size_t count) : results_(count), done_(count, false) {}

    void put(std::size_t index, FleetCommand::Result result) {
        {
            const std::lock_guard lock(mutex_);
            results_[index] = std::move(result);
            done_[index] = true;
            ++finished_;
        }
        changed_.notify_all();
    }
    // Waits until more units have finished than seen; returns how many have.
    std::size_t awaitMoreThan(std::size_t seen) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return finished_ > seen; });
        return finished_;
    }
    // The result of unit index once it is in; nothing before.
    bool take(std::size_t index, FleetCommand::Result& result) {
        const std::lock_guard lock(mutex_);
        if (!done_[index]) {
            return false;
        }
        result = results_[index];
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<FleetCommand::Result> results_;
    std::vector<bool> done_;
    std::size_t finished_ = 0;
};

std::string names(const std::vector<UnitEntry>& units) {
    std::string text;
    for (const UnitEntry& unit : units) {
        text += (text.empty() ? "" : ", ") + unit.name;
    }
    return text;
}

} // namespace

std::vector<UnitEntry> FleetCommand::select(const std::vector<UnitEntry>& units,
                                            const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (std::none_of(units.begin(), units.end(),
                         [&](const UnitEntry& unit) { return unit.name == name; })) {
            throw UsageError("--only names '" + name + "', which the units file does not list");
        }
    }
    if (names.empty()) {
        return units;
    }
    std::vector<UnitEntry> selected;
    std::copy_if(units.begin(), units.end(), std::back_inserter(selected), [&](const auto& unit) {
        return std::find(names.begin(), names.end(), unit.name) != names.end();
    });
    return selected;
}

std::string FleetCommand::outcome(ExitStatus status) {
    switch (status) {
    case Success:
        return "ok";
    case Different:
        return "different";
    case Usage:
        return "refused";
    case UnitFailure:
        return "failed";
    case FileFailure:
        return "file error";
    case Unknown:
        return "unknown";
    }
    return "failed";
}

ExitStatus FleetCommand::run(const std::vector<UnitEntry>& units, const Request& request,
                             std::istream& in, std::ostream& out, std::ostream& err,
                             bool progress) {
    if (request.command == "firmware") {
        // Machines read the JSON on out; the operator reads the question on err.
        std::ostream& talk = request.json ? err : out;
        FirmwareCommand::check(request.firmware.imagePath, talk);
        talk << "Units to update: " << names(units) << '\n';
        if (!request.firmware.confirmed) {
            FirmwareCommand::confirm("these " + std::to_string(units.size()) + " TRX4 units", in,
                                     talk);
        }
    }
    if (request.command == "save" || request.command == "log" || request.command == "report") {
        std::error_code error;
        std::filesystem::create_directories(request.directory, error);
        if (error) {
            throw FileException(request.directory,
                                "Error creating " + request.directory + ": " + error.message());
        }
    } else if ((request.command == "diff" || request.command == "load") &&
               !std::filesystem::is_directory(request.directory)) {
        throw FileException(request.directory,
                            "Error opening " + request.directory + ": it is not a directory");
    }

    Results results(units.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t index = next++; index < units.size(); index = next++) {
            results.put(index, runOne(units[index], request));
        }
    };
    std::vector<std::thread> workers;
    // Output that cannot be written throws; the workers still end before the
    // failure leaves, each within its own time-outs.
    struct Joiner {
        std::vector<std::thread>& threads;
        ~Joiner() {
            for (std::thread& thread : threads) {
                if (thread.joinable()) {
                    thread.join();
                }
            }
        }
    } joiner{workers};
    for (std::size_t i = 0; i < std::min<std::size_t>(request.jobs, units.size()); ++i) {
        workers.emplace_back(work);
    }

    std::size_t width = 0;
    for (const UnitEntry& unit : units) {
        width = std::max(width, unit.name.size());
    }
    ExitStatus worst = Success;
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    std::size_t printed = 0;
    if (progress) {
        err << "trx4ctl " << request.command << ": 0 of " << units.size() << " units done"
            << std::flush;
    }
    for (std::size_t finished = 0; printed < units.size();) {
        finished = results.awaitMoreThan(finished);
        if (progress) {
            err << "\r\x1b[K" << std::flush;
        }
        for (Result result; printed < units.size() && results.take(printed, result); ++printed) {
            worst = std::max(worst, result.status);
            const std::string& name = units[printed].name;
            if (request.json) {
                array.push_back({{"unit", name},
                                 {"status", result.status},
                                 {"outcome", outcome(result.status)},
                                 {"detail", result.detail}});
            } else {
                out << std::left << std::setw(static_cast<int>(width) + 2) << name << std::setw(12)
                    << outcome(result.status) << result.detail << '\n'
                    << std::flush;
            }
        }
        if (progress && finished < units.size()) {
            err << "trx4ctl " << request.command << ": " << finished << " of " << units.size()
                << " units done" << std::flush;
        }
    }
    if (request.json) {
        out << array.dump(2) << '\n';
    }
    return worst;
}
