#pragma once

#include "support/ProcessRun.h"

#include <nlohmann/json.hpp>

// ProcessRun.h brings the standard headers of processes, time and strings.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

// A trx4-unit child process (or another program that prints its ports
// first) for end-to-end tests. Started with the given
// arguments, it is stopped (SIGTERM, then SIGKILL after a deadline) when the
// object goes, so a failing test never leaves one behind. Its first output
// lines, the ports or the terminal path, are read with a deadline.
class UnitProcess {
public:
    explicit UnitProcess(const std::vector<std::string>& arguments,
                         std::chrono::milliseconds startTimeout = std::chrono::seconds(20),
                         std::size_t lineCount = 1,
                         const std::string& executable = TRX4_UNIT_EXECUTABLE)
        : pid_(startProcess(executable, arguments, {"", outputPath_, ""})) {
        try {
            lines_ = readLines(lineCount, startTimeout);
        } catch (const std::runtime_error&) {
            stop(SIGKILL);
            throw;
        }
    }

    ~UnitProcess() { stop(); }
    UnitProcess(const UnitProcess&) = delete;
    UnitProcess& operator=(const UnitProcess&) = delete;

    const std::string& firstLine() const { return lines_.front(); }
    std::uint16_t port() const { return portOf(0); }
    // The port of the unit on output line i (with --units).
    std::uint16_t portOf(std::size_t i) const {
        return static_cast<std::uint16_t>(std::stoi(lines_.at(i)));
    }
    pid_t pid() const { return pid_; }

    // Sends the signal and waits for the exit; returns the exit code, or 128
    // plus the signal number for a process that had to be killed.
    int stop(int signal = SIGTERM) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            exitCode_ =
                awaitExit(pid_, std::chrono::steady_clock::now() + std::chrono::seconds(10));
            pid_ = -1;
        }
        return exitCode_;
    }

private:
    std::vector<std::string> readLines(std::size_t count, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            std::istringstream text(fileText(outputPath_));
            std::vector<std::string> lines;
            for (std::string line;
                 lines.size() < count && std::getline(text, line) && !text.eof();) {
                lines.push_back(line);
            }
            if (lines.size() == count) {
                return lines;
            }
            if (::waitpid(pid_, nullptr, WNOHANG) != 0) {
                pid_ = -1;
                throw std::runtime_error("the program ended before its first lines");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        throw std::runtime_error("the program printed too few lines in time");
    }

    TemporaryDirectory folder_;
    std::string outputPath_ = (folder_.path() / "output").string();
    pid_t pid_;
    int exitCode_ = -1;
    std::vector<std::string> lines_;
};

// The lines of a trace file, each parsed as JSON: a line that is no JSON makes
// the parse throw, and one that is no object makes the look-ups below throw,
// so a broken trace fails the test.
inline std::vector<nlohmann::json> readTrace(const std::string& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

// Trace lines of messages with that direction ("received" or "sent") and command name.
inline std::vector<nlohmann::json> messages(const std::vector<nlohmann::json>& trace,
                                            const std::string& direction,
                                            const std::string& command) {
    std::vector<nlohmann::json> found;
    std::copy_if(trace.begin(), trace.end(), std::back_inserter(found), [&](const auto& line) {
        return line.value("direction", "") == direction && line.value("command", "") == command;
    });
    return found;
}

inline std::size_t countEvents(const std::vector<nlohmann::json>& trace, const std::string& name) {
    return static_cast<std::size_t>(
        std::count_if(trace.begin(), trace.end(),
                      [&](const auto& line) { return line.value("event", "") == name; }));
}
