#include "LinePacer.h"

#include <algorithm>

LinePacer::LinePacer(std::uint32_t bytesPerSecond)
    : byteTime_(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) /
                bytesPerSecond),
      next_(Clock::now()) {}

void LinePacer::idleAt(Clock::time_point now) {
    next_ = std::max(next_, now);
}
