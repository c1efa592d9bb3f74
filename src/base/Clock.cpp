#include "base/Clock.h"

#include <thread>

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

Clock::time_point SystemClock::now() {
    return std::chrono::steady_clock::now();
}

void SystemClock::sleep(std::chrono::milliseconds duration) {
    if (duration <= std::chrono::milliseconds::zero()) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(duration);
}
