#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

// Takes SIGINT, SIGTERM (stop) and SIGHUP (reload) on a thread of its own.
// Made before any other thread, it blocks the three in the calling thread,
// so every thread started later inherits the mask and none but this one is
// ever interrupted by them. A stop that is not over within stopLimit ends
// the process there and then: a unit still being connected to may hold its
// hub for seconds, and a service manager waits for none of them.
class SignalWatcher {
public:
    enum class Event { stop, reload };
    static constexpr std::chrono::milliseconds stopLimit{1500};

    // std::system_error when the signals cannot be blocked.
    SignalWatcher();
    // The program's work is over: ends the thread.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // True from the first stop signal on, for work to check between steps.
    const std::atomic<bool>& stopping() const { return stopping_; }
    // Waits for the next event: reload once for any SIGHUPs since the last
    // call, stop for good once a stop signal came.
    Event next();

private:
    void run();

    sigset_t signals_{};
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::condition_variable changed_;
    bool reloadWanted_ = false;
    bool over_ = false;
    std::thread thread_;
};
