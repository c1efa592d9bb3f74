#include "protocol/Clock.h"

#include <chrono>
#include <thread>

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

std::int64_t SystemClock::seconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(now).count();
}

void SystemClock::sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
