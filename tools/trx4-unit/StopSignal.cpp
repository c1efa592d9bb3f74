#include "StopSignal.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <ctime>
#include <thread>

namespace {

// Atomic because every unit's thread asks; whichever takes the pending
// signal tells the others.
std::atomic<bool> stopRequested{false};
std::atomic<bool> installed{false};

sigset_t stopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    return stops;
}

} // namespace

void StopSignal::install() {
    // The stop signals are blocked and stay pending until requested() takes
    // them: no handler runs, so none can be deferred and lost (as a sanitizer
    // runtime may do with a handler while its thread sits in a system call).
    // Neither result is checked: both calls fail only for a signal or an action that does
    // not exist, and these are fixed.
    const sigset_t stops = stopSignals();
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    installed = true;
}

bool StopSignal::requested() {
    if (!stopRequested && installed) {
        const sigset_t stops = stopSignals();
        const timespec noWait{};
        if (sigtimedwait(&stops, nullptr, &noWait) > 0) {
            stopRequested = true;
        }
    }
    return stopRequested;
}

void StopSignal::request() {
    stopRequested = true;
}

void StopSignal::reset() {
    stopRequested = false;
}

bool StopSignal::sleepFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (!requested()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return true;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            deadline - now, std::chrono::milliseconds(20)));
    }
    return false;
}
