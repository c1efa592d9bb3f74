#pragma once

#include "UnitSnapshot.h"

#include "session/UnitSession.h"
#include "session/UnitsFile.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Keeps one connection to one unit on a thread of its own and polls it about
// once a second: every message the unit sent since the last poll is taken in,
// then the status group is refreshed. After a failure it reconnects, waiting
// longer after each failure in a row.
class UnitPoller {
public:
    static constexpr std::chrono::milliseconds defaultInterval{1000};
    static constexpr std::chrono::seconds firstBackOff{1};
    static constexpr std::chrono::seconds longestBackOff{30};

    // Starts polling after firstDelay, so that many pollers spread their work
    // over the interval.
    UnitPoller(UnitEntry unit, std::chrono::milliseconds interval,
               std::chrono::milliseconds firstDelay);
    // Stops and waits for the thread; the connection says goodbye to the unit.
    ~UnitPoller();
    UnitPoller(const UnitPoller&) = delete;
    UnitPoller& operator=(const UnitPoller&) = delete;

    // Asks the thread to end without waiting for it, so that many pollers
    // stop together.
    void requestStop();
    // A copy of the latest state; never waits for the unit.
    UnitSnapshot snapshot() const;

private:
    void run();
    // One poll, connecting first when there is no connection; throws on failure.
    void poll();
    void failed(const std::string& message);
    // Waits for duration; false when asked to stop meanwhile.
    bool waitFor(std::chrono::steady_clock::duration duration);

    const UnitEntry unit_;
    const std::chrono::milliseconds interval_;
    const std::chrono::milliseconds firstDelay_;
    std::chrono::seconds backOff_ = firstBackOff;
    // Opened, polled and closed on the poller's thread only.
    UnitSession session_;
    // The poller thread's working copy, published under lock_ after each poll.
    UnitSnapshot working_;

    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    UnitSnapshot published_;
    std::thread thread_;
};
