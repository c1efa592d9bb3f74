#include "UnitHub.h"

#include "Log.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "protocol/Command.h"
#include "protocol/CommandType.h"
#include "protocol/GenericProtocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// A non-blocking listening socket on host:port; VerloException when none can be had.
int listenOn(const ConnectionTarget& address, std::uint16_t& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    const int resolved = getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0) {
        throw VerloException("Cannot resolve " + address.host + ": " + gai_strerror(resolved));
    }
    int listener = -1;
    std::string failure = "no address";
    for (addrinfo* candidate = found; candidate != nullptr && listener < 0;
         candidate = candidate->ai_next) {
        const int fd =
            ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                     candidate->ai_protocol);
        if (fd < 0) {
            failure = std::generic_category().message(errno);
            continue;
        }
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, candidate->ai_addr, candidate->ai_addrlen) != 0 ||
            ::listen(fd, SOMAXCONN) != 0) {
            failure = std::generic_category().message(errno);
            ::close(fd);
            continue;
        }
        listener = fd;
    }
    freeaddrinfo(found);
    if (listener < 0) {
        throw VerloException("Cannot listen on " + address.host + ":" + service + ": " + failure);
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    port =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    return listener;
}

double unixSeconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

bool isFlashStep(std::uint8_t code) {
    return code == CommandType::EraseFlash || code == CommandType::DownloadData ||
           code == CommandType::BurnAndReboot;
}

} // namespace

UnitHub::UnitHub(UnitEntry unit) : unit_(std::move(unit)), backOff_(firstBackOff) {
    working_.unit = unit_.name;
    published_ = working_;
    if (unit_.serve) {
        listener_ = listenOn(*unit_.serve, port_);
    }
    std::array<int, 2> wake{};
    if (::pipe2(wake.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        if (listener_ >= 0) {
            ::close(listener_);
        }
        throw VerloException(std::string("Cannot make a pipe: ") +
                             std::generic_category().message(errno));
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    session_.setMessageListener([this](const Command& message) { fromUnit(message); });
}

UnitHub::~UnitHub() {
    requestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
    clients_.clear();
    session_.close();
    if (listener_ >= 0) {
        ::close(listener_);
    }
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void UnitHub::start() {
    thread_ = std::thread([this] { run(); });
}

void UnitHub::requestStop() {
    stopping_ = true;
    wake();
}

UnitSnapshot UnitHub::snapshot() const {
    const std::lock_guard<std::mutex> guard(snapshotLock_);
    return published_;
}

void UnitHub::run() {
    nextAttempt_ = SteadyClock::now();
    std::vector<pollfd> watched;
    while (!stopping_) {
        if (!workerBusy_ && worker_.joinable()) {
            finishWork();
        }
        if (!worker_.joinable() && !unitHeld_ && SteadyClock::now() >= nextAttempt_) {
            startWork([this] { connect(); });
        }
        watched.assign({{wakeRead_, POLLIN, 0}, {listener_, POLLIN, 0}});
        {
            // The worker may be queueing messages for the hosts meanwhile.
            const std::lock_guard<std::mutex> guard(lock_);
            for (const auto& client : clients_) {
                watched.push_back(
                    {client->socket(),
                     static_cast<short>(POLLIN | (client->wantsToWrite() ? POLLOUT : 0)), 0});
            }
        }
        // Requests waiting go on at once; otherwise the sockets are watched
        // until the unit's messages are due to be taken in, or the next
        // attempt. The worker wakes the thread when it is done.
        const auto due =
            unitHeld_ ? std::min(lastTakeIn_ + takeInPeriod(), nextPoll_) : nextAttempt_;
        auto wait =
            std::clamp(std::chrono::ceil<std::chrono::milliseconds>(due - SteadyClock::now()),
                       std::chrono::milliseconds::zero(), takeInPeriod());
        if (worker_.joinable()) {
            wait = turn;
        } else if (!requests_.empty()) {
            wait = std::chrono::milliseconds::zero();
        }
        if (::poll(watched.data(), watched.size(), static_cast<int>(wait.count())) < 0 &&
            errno != EINTR) {
            logLine(LogLevel::error, unit_.name + ": " + std::generic_category().message(errno));
            break;
        }
        {
            const std::lock_guard<std::mutex> guard(lock_);
            if ((watched[0].revents & POLLIN) != 0) {
                std::array<char, 64> drained{};
                while (::read(wakeRead_, drained.data(), drained.size()) > 0) {
                }
            }
            if ((watched[1].revents & POLLIN) != 0) {
                acceptClients();
            }
            serveClients(watched);
            if (!worker_.joinable() && flashOwner_ &&
                SteadyClock::now() - lastFlashStep_ >= flashOwnerLimit) {
                flashOwner_.reset();
            }
            dropClients();
        }
        if (!workerBusy_ && worker_.joinable()) {
            finishWork();
        }
        if (unitHeld_ && !worker_.joinable()) {
            try {
                // Taken in once a turn, not at every wake-up: a message a turn
                // late costs less than a second wake-up of every hub.
                if (SteadyClock::now() >= nextPoll_) {
                    poll();
                } else if (SteadyClock::now() >= lastTakeIn_ + takeInPeriod()) {
                    takeIn();
                }
                forwardNext();
            } catch (const VerloException& error) {
                unitLost(error.what());
            }
        }
    }
    if (worker_.joinable()) {
        worker_.join();
    }
}

void UnitHub::startWork(std::function<void()> job) {
    workerBusy_ = true;
    worker_ = std::thread([this, job = std::move(job)] {
        try {
            job();
        } catch (const VerloException& error) {
            workerFailure_ = error.what();
        }
        workerBusy_ = false;
        wake();
    });
}

void UnitHub::finishWork() {
    worker_.join();
    if (workerFailure_) {
        const std::string message = *workerFailure_;
        workerFailure_.reset();
        unitLost(message);
    } else if (!unitHeld_) {
        unitHeld_ = true;
        logLine(LogLevel::info,
                unit_.name + ": connected" +
                    (port_ != 0 ? ", serving port " + std::to_string(port_) : std::string()));
    }
}

void UnitHub::connect() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        reported_.clear();
    }
    session_.open(unit_.target);
    heldSince_ = SteadyClock::now();
    poll();
}

void UnitHub::poll() {
    const auto started = SteadyClock::now();
    nextPoll_ = started + pollInterval;
    takeIn();
    session_.parameters()->pollNext();
    const auto now = SteadyClock::now();
    working_.observePoll(std::chrono::duration<double>(now - started).count());
    working_.takeValues(*session_.parameters());
    const auto silence = session_.silence();
    const auto wallNow = std::chrono::system_clock::now();
    working_.lastMessageSeconds = unixSeconds(wallNow - silence);
    // The values come from what the unit sent: a poll is answered only when
    // the unit has said something since about the poll before.
    if (silence < pollInterval) {
        working_.lastPollSeconds = unixSeconds(wallNow);
    }
    working_.up = heldSince_ && now - *heldSince_ >= upAfter;
    publish();
}

void UnitHub::takeIn() {
    session_.takeInPending();
    lastTakeIn_ = SteadyClock::now();
}

std::chrono::milliseconds UnitHub::takeInPeriod() const {
    // Only this thread adds or removes hosts, so it may look without lock_.
    return clients_.empty() ? idleTurn : turn;
}

void UnitHub::publish() {
    const std::lock_guard<std::mutex> guard(snapshotLock_);
    published_ = working_;
}

void UnitHub::unitLost(const std::string& message) {
    const auto now = SteadyClock::now();
    if (heldSince_ && now - *heldSince_ >= steadyAfter) {
        backOff_ = firstBackOff;
    }
    heldSince_.reset();
    if (unitHeld_ || backOff_ == firstBackOff) {
        logLine(LogLevel::warning, unit_.name + ": " + message + " (retrying in " +
                                       std::to_string(backOff_.count()) + " s)");
    }
    {
        // The hosts go first: none of them may see a unit that is not there.
        const std::lock_guard<std::mutex> guard(lock_);
        clients_.clear();
        requests_.clear();
        outstanding_.reset();
        flashOwner_.reset();
    }
    unitHeld_ = false;
    if (session_.isOpen()) {
        working_.lastMessageSeconds =
            unixSeconds(std::chrono::system_clock::now() - session_.silence());
    }
    session_.close();
    working_.up = false;
    ++working_.pollErrors;
    publish();
    nextAttempt_ = now + backOff_;
    backOff_ = std::min(backOff_ * 2, longestBackOff);
}

void UnitHub::acceptClients() {
    // Bounded by the backlog; the rest wait for the next turn.
    for (int accepted = 0; accepted < 64; ++accepted) {
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            return;
        }
        if (!unitHeld_) {
            // Refused until the unit is back, also while it is being tried.
            ::close(socket);
            continue;
        }
        clients_.push_back(std::make_unique<ClientConnection>(socket, nextClientId_++));
    }
}

void UnitHub::serveClients(const std::vector<pollfd>& ready) {
    // Clients accepted during this turn are not in ready; they wait for the next.
    for (std::size_t i = 2; i < ready.size(); ++i) {
        ClientConnection* connection = clients_[i - 2].get();
        if ((ready[i].revents & POLLOUT) != 0) {
            connection->flush();
        }
        if ((ready[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            for (UnitRequest& request : connection->receive()) {
                handle(*connection, std::move(request));
            }
        }
    }
}

void UnitHub::handle(ClientConnection& client, UnitRequest request) {
    const std::uint8_t code = request.type->code();
    const bool updatedByOther = flashOwner_ && *flashOwner_ != client.id();
    switch (code) {
    case CommandType::GetAll:
        // Without the log slot, which holds no parameter.
        client.send(StatusCommand(CommandType::lookUp(CommandType::GetAllResponse), reported_));
        client.setInformed();
        break;
    case CommandType::PingRequest:
        client.send(PingResponseCommand());
        break;
    case CommandType::Set:
        if (updatedByOther) {
            client.send(ErrorCommand(0));
            break;
        }
        requests_.push_back({client.id(), std::move(request)});
        break;
    case CommandType::EraseFlash:
    case CommandType::DownloadData:
    case CommandType::BurnAndReboot:
        if (updatedByOther) {
            client.send(FlashOperationDoneCommand(FlashException::retryCode));
            break;
        }
        // The update is this host's from its first step on.
        flashOwner_ = client.id();
        lastFlashStep_ = SteadyClock::now();
        requests_.push_back({client.id(), std::move(request)});
        break;
    case CommandType::GetEventLog:
    case CommandType::GetErrorLog:
        requests_.push_back({client.id(), std::move(request)});
        break;
    default:
        // Answers to the unit's pings are the hub's to give; replies and
        // reserved codes mean nothing to the unit.
        break;
    }
}

void UnitHub::forwardNext() {
    QueuedRequest next;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (requests_.empty()) {
            return;
        }
        next = std::move(requests_.front());
        requests_.pop_front();
        if (client(next.client) == nullptr) {
            return;
        }
        outstanding_ = next;
    }
    const std::uint8_t code = next.request.type->code();
    if (isFlashStep(code)) {
        // A step may keep the unit silent for up to 30 s: meanwhile this
        // thread goes on answering the other hosts.
        startWork([this, next] { flashStep(next); });
        return;
    }
    std::optional<std::uint16_t> refusal;
    try {
        GenericProtocol& unit = session_.singleAttemptFrontEnd();
        if (code == CommandType::Set) {
            unit.setValues(next.request.values, 0);
        } else if (code == CommandType::GetEventLog) {
            unit.getEventLog();
        } else {
            unit.getErrorLog();
        }
    } catch (const HostException& error) {
        refusal = error.code().value_or(0);
    } catch (const ProtocolException&) {
        // No reply in time: the host hears nothing, as from the unit itself.
    }
    const std::lock_guard<std::mutex> guard(lock_);
    outstanding_.reset();
    ClientConnection* sender = client(next.client);
    if (refusal && sender != nullptr) {
        sender->send(ErrorCommand(*refusal));
    }
}

void UnitHub::flashStep(const QueuedRequest& step) {
    const std::uint8_t code = step.request.type->code();
    std::optional<std::uint16_t> result;
    try {
        if (code == CommandType::EraseFlash) {
            session_.flashStep(EraseFlashCommand());
        } else if (code == CommandType::DownloadData) {
            session_.flashStep(
                DownloadDataCommand(step.request.data.data(), step.request.data.size()));
        } else {
            session_.flashStep(BurnAndRebootCommand());
        }
        result = 0;
    } catch (const FlashException& error) {
        result = error.code().value_or(0xFFFF);
    } catch (const ProtocolException&) {
        // No reply in time: the host hears nothing, as from the unit itself.
    }
    const std::lock_guard<std::mutex> guard(lock_);
    outstanding_.reset();
    lastFlashStep_ = SteadyClock::now();
    if (code == CommandType::BurnAndReboot && result == 0) {
        flashOwner_.reset();
    }
    if (ClientConnection* sender = client(step.client); sender != nullptr && result) {
        sender->send(FlashOperationDoneCommand(*result));
    }
}

void UnitHub::wake() {
    const char byte = 0;
    // A full pipe already wakes the thread.
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
}

void UnitHub::fromUnit(const Command& message) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (const auto* list = dynamic_cast<const ParameterListCommand*>(&message)) {
        for (const auto& [id, value] : list->values()) {
            reported_.insert_or_assign(id, value);
        }
    }
    const std::uint8_t code = message.commandType().code();
    switch (code) {
    case CommandType::PingRequest:
    case CommandType::PingResponse:
    case CommandType::GetAllResponse:
    case CommandType::FlashOperationDone:
        // The hub's own exchanges with the unit; flash steps are answered per host.
        return;
    case CommandType::EventLog:
    case CommandType::ErrorLog:
        if (outstanding_) {
            if (ClientConnection* requester = client(outstanding_->client)) {
                requester->send(message);
            }
            return;
        }
        break;
    default:
        break;
    }
    for (const auto& connection : clients_) {
        if (connection->informed() || (outstanding_ && outstanding_->client == connection->id())) {
            connection->send(message);
        }
    }
}

void UnitHub::dropClients() {
    const auto now = SteadyClock::now();
    std::erase_if(clients_, [&](const std::unique_ptr<ClientConnection>& connection) {
        const bool drop =
            connection->failed() ||
            (!connection->heardFrom() && now - connection->connectedAt() >= silentClientLimit);
        if (drop) {
            std::erase_if(requests_, [&](const QueuedRequest& queued) {
                return queued.client == connection->id();
            });
            if (flashOwner_ == connection->id()) {
                flashOwner_.reset();
            }
        }
        return drop;
    });
}

ClientConnection* UnitHub::client(std::uint64_t id) const {
    const auto found = std::find_if(clients_.begin(), clients_.end(),
                                    [&](const auto& connection) { return connection->id() == id; });
    return found != clients_.end() ? found->get() : nullptr;
}
