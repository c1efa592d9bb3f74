#pragma once

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

// Starts the program with its standard input, output and error opened on the
// files named; an empty name leaves the stream the test's own. Files give the
// program all the room it needs and keep what it wrote when it is killed.
inline pid_t startProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          const std::array<std::string, 3>& files) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream = 0; stream < 3; ++stream) {
        if (!files[stream].empty()) {
            posix_spawn_file_actions_addopen(&actions, stream, files[stream].c_str(),
                                             stream == 0 ? O_RDONLY : O_WRONLY | O_CREAT, 0600);
        }
    }
    std::vector<std::string> all{executable};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv(all.size() + 1, nullptr);
    std::transform(all.begin(), all.end(), argv.begin(),
                   [](std::string& argument) { return argument.data(); });
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + executable);
    }
    return pid;
}

// Waits for the process to end, killing it at the deadline; returns its exit
// code, or 128 plus the number of the signal that ended it.
inline int awaitExit(pid_t pid, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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
    const TemporaryDirectory folder;
    const pid_t pid = startProcess(executable, arguments,
                                   {folder.write("in", {input.begin(), input.end()}),
                                    folder.write("out", {}), folder.write("err", {})});
    ProcessResult result{awaitExit(pid, std::chrono::steady_clock::now() + deadline),
                         fileText(folder.path() / "out"), fileText(folder.path() / "err")};
    EXPECT_NE(result.status, 128 + SIGKILL)
        << executable << " was killed: it outlived its deadline";
    return result;
}
