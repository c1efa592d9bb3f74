#pragma once

#include "base/Clock.h"

#include <chrono>
#include <vector>

// A clock that moves only when the test moves it; sleeps are recorded, not slept.
class ManualClock : public Clock {
public:
    time_point now() override { return now_; }
    void sleep(std::chrono::milliseconds duration) override { sleeps_.push_back(duration); }

    void advance(duration by) { now_ += by; }
    const std::vector<std::chrono::milliseconds>& sleeps() const { return sleeps_; }

private:
    time_point now_ = time_point(std::chrono::hours(1));
    std::vector<std::chrono::milliseconds> sleeps_;
};
