#pragma once

#include "protocol/Clock.h"

#include <cstdint>
#include <vector>

// A clock that moves only when the test moves it; sleeps are recorded, not slept.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::int64_t start = 1000) : now_(start) {}

    std::int64_t seconds() override { return now_; }
    void sleep(std::uint32_t milliseconds) override { sleeps_.push_back(milliseconds); }

    void advance(std::int64_t seconds) { now_ += seconds; }
    const std::vector<std::uint32_t>& sleeps() const { return sleeps_; }

private:
    std::int64_t now_;
    std::vector<std::uint32_t> sleeps_;
};
