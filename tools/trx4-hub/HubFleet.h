#pragma once

#include "UnitHub.h"
#include "UnitSnapshot.h"

#include "session/UnitsFile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The running UnitHubs, one per unit, in the units file's order. A new list
// of units is applied as a change to what runs: a unit listed as before
// (same name, target and serve address) keeps its hub, and with it the
// unit's connection and its hosts; the others stop or start.
class HubFleet {
public:
    // Descriptors kept for the metrics server, its hosts and the program's own.
    static constexpr std::size_t reservedDescriptors = 32;
    // A unit's listener, the two ends of its wake pipe, its connection and one host.
    static constexpr std::size_t descriptorsPerUnit = 5;

    // The units that fit in the descriptor limit run; the rest are left out.
    explicit HubFleet(std::size_t descriptorLimit);
    // Stops every hub.
    ~HubFleet();
    HubFleet(const HubFleet&) = delete;
    HubFleet& operator=(const HubFleet&) = delete;

    // How many units the descriptor limit allows.
    std::size_t capacity() const { return capacity_; }
    // Makes the listed units the running set. Hubs that go are stopped before new ones
    // listen, so that a serve address may pass from one unit to another.
    // Stops early, leaving the set part way, once stopping is true. Returns
    // false when a unit could not be started (each is logged with why).
    bool apply(const std::vector<UnitEntry>& listed, const std::atomic<bool>& stopping);
    // Asks every hub to stop, then waits for them all.
    void stopAll();

    std::vector<UnitSnapshot> snapshots() const;
    // The ports served, in the file's order, 0 for a unit without one.
    std::vector<std::uint16_t> ports() const;

private:
    struct Running {
        UnitEntry unit;
        std::unique_ptr<UnitHub> hub;
    };

    // Stops them together, each hub first asked, then joined.
    static void stop(std::vector<Running> leaving);

    const std::size_t descriptorLimit_;
    const std::size_t capacity_;
    // Held through apply() and stopAll(): one change at a time.
    std::mutex changeLock_;
    // Held only to read or swap running_, so that a scrape never waits for a change.
    mutable std::mutex listLock_;
    std::vector<Running> running_;
};
