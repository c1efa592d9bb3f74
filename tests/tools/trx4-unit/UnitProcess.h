#pragma once

#include "support/ProcessRun.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// A trx4-unit child process for end-to-end tests. Started with the given
// arguments, it is stopped (SIGTERM, then SIGKILL after a deadline) when the
// object goes, so a failing test never leaves one behind. Its first output
// line, the port or the terminal path, is read with a deadline.
class UnitProcess {
public:
    explicit UnitProcess(const std::vector<std::string>& arguments,
                         std::chrono::milliseconds startTimeout = std::chrono::seconds(20)) {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
        std::vector<std::string> all{TRX4_UNIT_EXECUTABLE};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, TRX4_UNIT_EXECUTABLE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        output_ = pipeEnds[0];
        if (spawned != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + std::string(TRX4_UNIT_EXECUTABLE));
        }
        firstLine_ = readLine(startTimeout);
    }

    ~UnitProcess() {
        stop();
        if (output_ >= 0) {
            ::close(output_);
        }
    }
    UnitProcess(const UnitProcess&) = delete;
    UnitProcess& operator=(const UnitProcess&) = delete;

    const std::string& firstLine() const { return firstLine_; }
    std::uint16_t port() const { return static_cast<std::uint16_t>(std::stoi(firstLine_)); }
    pid_t pid() const { return pid_; }

    // Sends the signal and waits for the exit; returns the exit code, or 128
    // plus the signal number for a process that had to be killed.
    int stop(int signal = SIGTERM) {
        if (pid_ <= 0) {
            return exitCode_;
        }
        ::kill(pid_, signal);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exitCode_;
    }

    // Runs the emulator to completion (for options that end it at once) and
    // returns its exit code.
    static int runToEnd(const std::vector<std::string>& arguments) {
        return runProcess(TRX4_UNIT_EXECUTABLE, arguments).status;
    }

private:
    std::string readLine(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                throw std::runtime_error("trx4-unit printed no first line in time");
            }
            pollfd entry{output_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char c = 0;
            const ssize_t n = ::read(output_, &c, 1);
            if (n <= 0) {
                throw std::runtime_error("trx4-unit ended before its first line");
            }
            if (c == '\n') {
                return line;
            }
            line += c;
        }
    }

    pid_t pid_ = -1;
    int output_ = -1;
    int exitCode_ = -1;
    std::string firstLine_;
};

// The lines of a trace file, each parsed as JSON; a line that is no JSON
// object makes the parse throw, so a broken trace fails the test.
inline std::vector<nlohmann::json> readTrace(const std::string& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        lines.push_back(nlohmann::json::parse(line));
        if (!lines.back().is_object()) {
            throw std::runtime_error("trace line is not an object: " + line);
        }
    }
    return lines;
}

// Trace lines of messages with that direction ("received" or "sent") and command name.
inline std::vector<nlohmann::json> messages(const std::vector<nlohmann::json>& trace,
                                            const std::string& direction,
                                            const std::string& command) {
    std::vector<nlohmann::json> found;
    for (const nlohmann::json& line : trace) {
        if (line.value("direction", "") == direction && line.value("command", "") == command) {
            found.push_back(line);
        }
    }
    return found;
}

inline std::size_t countEvents(const std::vector<nlohmann::json>& trace, const std::string& name) {
    std::size_t count = 0;
    for (const nlohmann::json& line : trace) {
        count += line.value("event", "") == name ? 1 : 0;
    }
    return count;
}
