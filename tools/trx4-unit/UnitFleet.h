#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

struct UnitOptions;

// Many units in one process, so that tests and benchmarks of tools that watch
// a fleet need no process per unit. Each unit has its own state, log and TCP
// port, and is served on its own thread.
class UnitFleet {
public:
    // options.units units, on options.listenPort and the ports after it, or
    // on free ports when that is 0.
    UnitFleet(const UnitOptions& options, std::chrono::steady_clock::time_point started);
    ~UnitFleet();
    UnitFleet(const UnitFleet&) = delete;
    UnitFleet& operator=(const UnitFleet&) = delete;

    // Binds every unit's port; VerloException when one cannot be had.
    void listen();
    // The ports listened on, in unit order.
    std::vector<std::uint16_t> ports() const;
    // Serves every unit until a stop is requested. A unit that fails stops
    // them all, and its error is thrown once every thread has ended.
    void run();

private:
    struct PlayedUnit;
    std::vector<std::unique_ptr<PlayedUnit>> units_;
};
