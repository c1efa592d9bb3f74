#pragma once

#include "ClientConnection.h"
#include "UnitResponder.h"
#include "UnitSnapshot.h"

#include "base/ParameterValueMap.h"
#include "session/UnitSession.h"
#include "session/UnitsFile.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class Command;

// Keeps the one connection to one unit and serves the unit's protocol to
// any number of hosts on the unit's served address, on a thread of its own.
// Each host sees what it would see connected to the unit alone: the hub
// answers Get All from what the unit has reported and pings itself, passes
// the unit's messages on, and sends the hosts' requests to the unit one at a
// time in the order they came. While the unit is lost every host is closed
// and new ones are refused until the unit is back. Once a second it polls
// the unit's status group for the metrics, as trx4-exporter does; the unit
// counts as up once it has been held upAfter without a fault.
class UnitHub {
public:
    // A host that sends nothing this long after connecting is dropped.
    static constexpr std::chrono::seconds silentClientLimit{10};
    // A firmware update whose host sends no flash step this long ends.
    static constexpr std::chrono::seconds flashOwnerLimit{30};
    // How often the unit's unasked messages are taken in and passed on; with
    // no host to pass them to, idleTurn, short enough for the silence ping to
    // find a hung unit within 5 s of its last message.
    static constexpr std::chrono::milliseconds turn{100};
    static constexpr std::chrono::milliseconds idleTurn{250};
    // How often the unit's status group is polled for the metrics.
    static constexpr std::chrono::milliseconds pollInterval{1000};
    // A lost unit is tried again after firstBackOff, then after twice as
    // long each time, up to longestBackOff, until it has been held steadyAfter:
    // a unit that fails soon after each connection waits ever longer.
    static constexpr std::chrono::seconds firstBackOff{1};
    static constexpr std::chrono::seconds longestBackOff{30};
    static constexpr std::chrono::seconds steadyAfter{30};
    // Held this long without a fault, the unit is reported up.
    static constexpr std::chrono::seconds upAfter{5};

    // Listens on the unit's serve address at once (VerloException when it
    // cannot); a unit without one is only polled. The unit is reached once
    // start() has been called.
    explicit UnitHub(UnitEntry unit);
    // Stops the thread, closes every host, then the unit.
    ~UnitHub();
    UnitHub(const UnitHub&) = delete;
    UnitHub& operator=(const UnitHub&) = delete;

    // The port served, the one picked when the file said port 0.
    std::uint16_t port() const { return port_; }
    void start();
    // Asks the thread to end without waiting, so that many hubs stop together.
    void requestStop();
    // A copy of the latest state; never waits for the unit.
    UnitSnapshot snapshot() const;

private:
    struct QueuedRequest {
        std::uint64_t client = 0;
        UnitRequest request;
    };

    void run();
    // Runs job on worker_, which has the session to itself until
    // finishWork(); a VerloException from job is kept for finishWork().
    void startWork(std::function<void()> job);
    // Joins worker_: a unit that failed is lost, one just opened is held.
    void finishWork();
    // On worker_: opens the session, Get All and first poll included.
    void connect();
    // Takes in the unit's messages and reads the status group, for the metrics.
    void poll();
    void takeIn();
    std::chrono::milliseconds takeInPeriod() const;
    void publish();
    void unitLost(const std::string& message);
    void acceptClients();
    void serveClients(const std::vector<struct pollfd>& ready);
    // These three, and the listener, run under lock_.
    void handle(ClientConnection& client, UnitRequest request);
    void dropClients();
    ClientConnection* client(std::uint64_t id) const;
    // Sends the next request to the unit; a flash step goes to worker_.
    void forwardNext();
    // On worker_.
    void flashStep(const QueuedRequest& step);
    void wake();
    void fromUnit(const Command& message);

    const UnitEntry unit_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    // Written to wake the thread from its wait.
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_{false};

    UnitSession session_;
    std::chrono::seconds backOff_;
    std::chrono::steady_clock::time_point nextAttempt_;
    std::chrono::steady_clock::time_point lastTakeIn_;
    std::chrono::steady_clock::time_point nextPoll_;
    // Since the last good Get All; none while the unit is lost.
    std::optional<std::chrono::steady_clock::time_point> heldSince_;
    // The session is used by one thread at a time: this one, or worker_
    // (a connection attempt or a flash step, either of which may take many
    // seconds) until it is joined. lock_ guards what both touch, from here to
    // lastFlashStep_; only this thread adds or removes hosts.
    std::thread worker_;
    std::atomic<bool> workerBusy_{false};
    // What made the unit fail on worker_, for this thread to act on.
    std::optional<std::string> workerFailure_;
    // Open and given to the hosts; false while the unit is lost or tried.
    bool unitHeld_ = false;
    std::mutex lock_;
    // Everything the unit has reported, for the hosts' Get All.
    ParameterValueMap reported_;
    std::vector<std::unique_ptr<ClientConnection>> clients_;
    std::uint64_t nextClientId_ = 1;
    std::deque<QueuedRequest> requests_;
    // The request being carried out, whose replies go to its host alone.
    std::optional<QueuedRequest> outstanding_;
    // The host that updates the unit's firmware, and its last flash step.
    std::optional<std::uint64_t> flashOwner_;
    std::chrono::steady_clock::time_point lastFlashStep_;
    // The thread's working copy, published under snapshotLock_ after each poll.
    UnitSnapshot working_;
    mutable std::mutex snapshotLock_;
    UnitSnapshot published_;
    std::thread thread_;
};
