#pragma once

#include <chrono>

// SIGINT and SIGTERM ask the emulator to stop; every wait in it is cut into
// short slices that look here, so it stops within moments.
class StopSignal {
public:
    // Takes SIGINT and SIGTERM as stop requests from now on and ignores
    // SIGPIPE, so a host that vanishes mid-write is an error, not a death.
    // Call it before starting threads, so that they block the signals too.
    static void install();
    static bool requested();
    // Sleeps for duration unless a stop comes first; false when it did.
    static bool sleepFor(std::chrono::milliseconds duration);
    // For tests: as if a signal had come, or as if none had.
    static void request();
    static void reset();
};
