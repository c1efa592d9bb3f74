#pragma once

#include <cstdint>

// Time as the protocol and the firmware update see it: whole seconds for
// intervals and deadlines, and a way to pause the calling thread. Tests
// replace it so that intervals pass without waiting.
class Clock {
public:
    virtual ~Clock() = default;

    // Whole seconds since an arbitrary fixed origin; only differences matter.
    virtual std::int64_t seconds() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;

    // The process-wide clock of the machine.
    static Clock& system();
};

// Counts seconds on a clock that never goes back, so a change of the
// computer's date neither stops nor floods the unit's pings.
class SystemClock : public Clock {
public:
    std::int64_t seconds() override;
    void sleep(std::uint32_t milliseconds) override;
};
