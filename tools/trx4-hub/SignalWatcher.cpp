#include "SignalWatcher.h"

#include "Log.h"

#include <cstdlib>
#include <pthread.h>
#include <string>
#include <system_error>

SignalWatcher::SignalWatcher() {
    sigemptyset(&signals_);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals_, signal);
    }
    if (const int error = pthread_sigmask(SIG_BLOCK, &signals_, nullptr); error != 0) {
        throw std::system_error(error, std::generic_category(), "blocking the stop signals");
    }
    thread_ = std::thread([this] { run(); });
}

SignalWatcher::~SignalWatcher() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        over_ = true;
    }
    changed_.notify_all();
    // The thread waits for a signal until a stop signal came: it gets one.
    if (!stopping_) {
        // Blocked in every thread, so it ends nothing: the sigwait takes it.
        // NOLINTNEXTLINE(bugprone-bad-signal-to-kill-thread)
        pthread_kill(thread_.native_handle(), SIGTERM);
    }
    thread_.join();
}

SignalWatcher::Event SignalWatcher::next() {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [this] { return stopping_ || reloadWanted_; });
    if (stopping_) {
        return Event::stop;
    }
    reloadWanted_ = false;
    return Event::reload;
}

void SignalWatcher::run() {
    while (!stopping_) {
        // A wait that fails (it cannot with these signals) stops rather than spins.
        int received = SIGTERM;
        sigwait(&signals_, &received);
        {
            const std::lock_guard<std::mutex> guard(lock_);
            if (received == SIGHUP) {
                reloadWanted_ = true;
            } else {
                logLine(LogLevel::info,
                        std::string("stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
                stopping_ = true;
            }
        }
        changed_.notify_all();
    }
    std::unique_lock<std::mutex> guard(lock_);
    if (!changed_.wait_for(guard, stopLimit, [this] { return over_; })) {
        logLine(LogLevel::warning, "stopping took longer than " +
                                       std::to_string(stopLimit.count()) +
                                       " ms: ending without waiting for the units still busy");
        std::_Exit(0);
    }
}
