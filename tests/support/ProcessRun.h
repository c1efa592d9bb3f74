#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// One run of a program to its end: standard input given, standard output and
// error collected, killed when it outlives the deadline.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline ProcessResult runProcess(const std::string& executable,
                                const std::vector<std::string>& arguments,
                                const std::string& input = {},
                                std::chrono::seconds deadline = std::chrono::seconds(60)) {
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (const int end : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
        posix_spawn_file_actions_addclose(&actions, end);
    }
    std::vector<std::string> all{executable};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error("cannot start " + executable);
    }
    // Small inputs fit the pipe; closing it gives the program its end of file.
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {
        ADD_FAILURE() << "cannot write the input";
    }
    ::close(in[1]);

    ProcessResult result;
    const auto end = std::chrono::steady_clock::now() + deadline;
    pollfd ends[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            ADD_FAILURE() << executable << " outlived its deadline";
            break;
        }
        if (::poll(ends, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            break;
        }
        for (pollfd& entry : ends) {
            if (entry.fd >= 0 && (entry.revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const ssize_t n = ::read(entry.fd, buffer, sizeof buffer);
                if (n <= 0) {
                    ::close(entry.fd);
                    entry.fd = -1;
                    --open;
                } else {
                    (&entry == &ends[0] ? result.out : result.err)
                        .append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }
    for (const pollfd& entry : ends) {
        if (entry.fd >= 0) {
            ::close(entry.fd);
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
