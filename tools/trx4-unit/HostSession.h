#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class Command;
class TraceWriter;
class UnitLink;
class UnitResponder;
struct UnitOptions;

// One host's time with the unit, on either kind of link: answers its
// requests and, once it has asked for all parameters, keeps it informed with
// unsolicited Status messages, until it leaves, is dropped, the unit reboots
// or the emulator is told to stop.
class HostSession {
public:
    enum class End { HostLeft, Dropped, Reboot, Stopped };

    // Everything is borrowed and must outlive the session; trace may be null.
    // started is when the unit powered on (its uptime counts from there).
    HostSession(UnitLink& link, UnitResponder& responder, const UnitOptions& options,
                TraceWriter* trace, std::chrono::steady_clock::time_point started);

    // Drops the host when it has sent nothing within limit of the session's
    // start; once it has spoken it stays, however quiet.
    void dropIfSilentFor(std::chrono::milliseconds limit) { silenceLimit_ = limit; }
    // Work to do while the session lasts, between messages and at least once
    // every slice.
    void setBetweenMessages(std::function<void()> work) { betweenMessages_ = std::move(work); }

    End run();
    // Whether the host sent anything in this session.
    bool heardFromHost() const { return heardFromHost_; }

    // Longest time the session goes without looking at its timers.
    static constexpr std::chrono::milliseconds slice{50};

private:
    // Returns true when the unit must reboot.
    bool handle(const std::vector<std::uint8_t>& body);
    void deliver(const Command& command);
    double uptime() const;

    UnitLink& link_;
    UnitResponder& responder_;
    const UnitOptions& options_;
    TraceWriter* trace_;
    std::chrono::steady_clock::time_point started_;
    std::optional<std::chrono::milliseconds> silenceLimit_;
    std::function<void()> betweenMessages_;
    bool statusesStarted_ = false;
    bool heardFromHost_ = false;
    // Unsolicited Status messages due so far, for the wire fault's period.
    std::uint32_t statusesDue_ = 0;
};
