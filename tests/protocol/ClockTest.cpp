#include "protocol/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(SystemClock, SleepsAtLeastTheTimeAskedAndSecondsNeverGoBack) {
    Clock& clock = Clock::system();
    EXPECT_EQ(&clock, &Clock::system());
    const std::int64_t before = clock.seconds();
    const auto start = std::chrono::steady_clock::now();
    clock.sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    clock.sleep(0);
    const std::int64_t after = clock.seconds();
    EXPECT_GE(after, before);
    EXPECT_LE(after - before, 1);
}
