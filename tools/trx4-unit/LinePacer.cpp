#include "LinePacer.h"

#include <algorithm>

LinePacer::LinePacer(std::uint32_t bytesPerSecond)
    : byteTime_(std::chrono::duration_cast<SteadyClock::duration>(std::chrono::seconds(1)) /
                bytesPerSecond),
      next_(SteadyClock::now()) {}

void LinePacer::idleAt(SteadyClock::time_point now) {
    next_ = std::max(next_, now);
}
