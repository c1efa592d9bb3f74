#pragma once

#include <chrono>
#include <cstdint>

// The timing of one direction of a serial line: bytes cross it one after
// another, a byte time apart. A burst is spread out; a line that was idle
// carries the next byte at once. A byte that crossed late does not delay the
// ones after it, so the rate holds on average however the waits overshoot.
class LinePacer {
public:
    using SteadyClock = std::chrono::steady_clock;

    // A line that starts now; bytesPerSecond must not be 0.
    explicit LinePacer(std::uint32_t bytesPerSecond);

    // When the next byte may cross.
    SteadyClock::time_point nextSlot() const { return next_; }
    // Nothing was waiting to cross at `now`, so the next byte cannot have
    // crossed earlier.
    void idleAt(SteadyClock::time_point now);
    // The next byte crossed; the one after it follows a byte time later.
    void crossed() { next_ += byteTime_; }

private:
    SteadyClock::duration byteTime_;
    SteadyClock::time_point next_;
};
