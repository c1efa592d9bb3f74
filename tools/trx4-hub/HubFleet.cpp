#include "HubFleet.h"

#include "Log.h"

#include "base/VerloException.h"

#include <algorithm>
#include <string>

HubFleet::HubFleet(std::size_t descriptorLimit)
    : descriptorLimit_(descriptorLimit),
      capacity_(descriptorLimit > reservedDescriptors
                    ? (descriptorLimit - reservedDescriptors) / descriptorsPerUnit
                    : 0) {}

HubFleet::~HubFleet() {
    stopAll();
}

bool HubFleet::apply(const std::vector<UnitEntry>& listed, const std::atomic<bool>& stopping) {
    const std::lock_guard<std::mutex> changing(changeLock_);
    std::vector<UnitEntry> units = listed;
    if (units.size() > capacity_) {
        logLine(LogLevel::error, "descriptor limit " + std::to_string(descriptorLimit_) +
                                     " allows " + std::to_string(capacity_) + " of " +
                                     std::to_string(units.size()) +
                                     " units; the others are not started");
        units.resize(capacity_);
    }
    const auto listedAsBefore = [&](const UnitEntry& unit) {
        return std::find(units.begin(), units.end(), unit) != units.end();
    };

    std::vector<Running> leaving;
    {
        const std::lock_guard<std::mutex> guard(listLock_);
        for (auto running = running_.begin(); running != running_.end();) {
            if (listedAsBefore(running->unit)) {
                ++running;
                continue;
            }
            const bool gone = std::none_of(units.begin(), units.end(), [&](const auto& unit) {
                return unit.name == running->unit.name;
            });
            logLine(LogLevel::info,
                    running->unit.name + (gone ? ": stopping, as the units file no longer lists it"
                                               : ": restarting, as its line in the units file "
                                                 "changed"));
            leaving.push_back(std::move(*running));
            running = running_.erase(running);
        }
    }
    stop(std::move(leaving));

    // Only this thread changes running_, so it reads it without the list lock.
    const auto isRunning = [&](const UnitEntry& unit) {
        return std::any_of(running_.begin(), running_.end(),
                           [&](const Running& running) { return running.unit == unit; });
    };
    bool allStarted = true;
    std::vector<Running> added;
    for (const UnitEntry& unit : units) {
        if (stopping) {
            break;
        }
        if (isRunning(unit)) {
            continue;
        }
        try {
            added.push_back({unit, std::make_unique<UnitHub>(unit)});
        } catch (const VerloException& error) {
            logLine(LogLevel::error, unit.name + ": not started: " + error.what());
            allStarted = false;
        }
    }
    std::vector<UnitHub*> starting;
    starting.reserve(added.size());
    for (const Running& running : added) {
        starting.push_back(running.hub.get());
    }
    {
        // Back in the file's order.
        const std::lock_guard<std::mutex> guard(listLock_);
        std::vector<Running> next;
        for (const UnitEntry& unit : units) {
            for (std::vector<Running>* from : {&running_, &added}) {
                const auto found = std::find_if(from->begin(), from->end(), [&](const auto& one) {
                    return one.hub && one.unit == unit;
                });
                if (found != from->end()) {
                    next.push_back(std::move(*found));
                    break;
                }
            }
        }
        running_ = std::move(next);
    }
    for (UnitHub* hub : starting) {
        if (stopping) {
            break;
        }
        hub->start();
    }
    return allStarted;
}

void HubFleet::stopAll() {
    const std::lock_guard<std::mutex> changing(changeLock_);
    std::vector<Running> leaving;
    {
        const std::lock_guard<std::mutex> guard(listLock_);
        leaving.swap(running_);
    }
    stop(std::move(leaving));
}

void HubFleet::stop(std::vector<Running> leaving) {
    for (const Running& running : leaving) {
        running.hub->requestStop();
    }
    // All asked first, so that they end together; each hub joins its thread
    // as it is destroyed here.
    leaving.clear();
}

std::vector<UnitSnapshot> HubFleet::snapshots() const {
    const std::lock_guard<std::mutex> guard(listLock_);
    std::vector<UnitSnapshot> snapshots;
    snapshots.reserve(running_.size());
    for (const Running& running : running_) {
        snapshots.push_back(running.hub->snapshot());
    }
    return snapshots;
}

std::vector<std::uint16_t> HubFleet::ports() const {
    const std::lock_guard<std::mutex> guard(listLock_);
    std::vector<std::uint16_t> ports;
    for (const Running& running : running_) {
        ports.push_back(running.hub->port());
    }
    return ports;
}
