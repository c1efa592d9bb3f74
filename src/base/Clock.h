#pragma once

#include <chrono>

// Time as the protocol and the firmware update see it: a clock that never
// goes back, and a way to pause the calling thread. Tests replace it so that
// intervals pass without waiting.
class Clock {
public:
    using duration = std::chrono::steady_clock::duration;
    using time_point = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    virtual time_point now() = 0;
    // Zero yields the processor to other threads.
    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // The process-wide clock of the machine.
    static Clock& system();
};

// The machine's steady clock, so a change of the computer's date neither
// stops nor floods the unit's pings.
class SystemClock : public Clock {
public:
    time_point now() override;
    void sleep(std::chrono::milliseconds duration) override;
};
