#include "HostSession.h"

#include "StopSignal.h"
#include "TraceWriter.h"
#include "UnitLink.h"
#include "UnitOptions.h"
#include "UnitResponder.h"

#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/CommandType.h"

#include <algorithm>
#include <optional>

namespace {

using SteadyClock = std::chrono::steady_clock;

TraceMessage describe(const Command& command) {
    TraceMessage message;
    message.command = command.commandType().name();
    message.code = command.commandType().code();
    message.length = command.size();
    if (const auto* list = dynamic_cast<const ParameterListCommand*>(&command)) {
        for (const auto& pair : list->values()) {
            message.ids.push_back(pair.first);
        }
    }
    if (const auto* status = dynamic_cast<const StatusCodeCommand*>(&command)) {
        message.status = status->status().code;
    }
    return message;
}

} // namespace

HostSession::HostSession(UnitLink& link, UnitResponder& responder, const UnitOptions& options,
                         TraceWriter* trace, SteadyClock::time_point started)
    : link_(link), responder_(responder), options_(options), trace_(trace), started_(started) {}

double HostSession::uptime() const {
    return std::chrono::duration<double>(SteadyClock::now() - started_).count();
}

HostSession::End HostSession::run() {
    std::optional<SteadyClock::time_point> dropAt;
    std::optional<SteadyClock::time_point> silentUntil;
    if (silenceLimit_) {
        silentUntil = SteadyClock::now() + *silenceLimit_;
    }
    SteadyClock::time_point nextStatus{};
    const std::chrono::milliseconds interval(options_.statusIntervalMs);

    while (true) {
        if (StopSignal::requested()) {
            return End::Stopped;
        }
        if (link_.hostGone()) {
            return End::HostLeft;
        }
        if (betweenMessages_) {
            betweenMessages_();
        }
        const auto now = SteadyClock::now();
        if (!heardFromHost_ && silentUntil && now >= *silentUntil) {
            if (trace_ != nullptr) {
                trace_->event("host-silent");
            }
            responder_.logEvent(uptime(), "Dropped a host that sent nothing after connecting");
            link_.disconnect();
            return End::Dropped;
        }
        if (dropAt && now >= *dropAt) {
            if (trace_ != nullptr) {
                trace_->event("host-dropped");
            }
            responder_.logEvent(uptime(), "Dropped the host");
            link_.disconnect();
            return End::Dropped;
        }
        if (statusesStarted_ && now >= nextStatus) {
            if (link_.readyForUnsolicited()) {
                ++statusesDue_;
                if (options_.wireFault && statusesDue_ % options_.wireFault->every == 0) {
                    link_.sendMalformed(options_.wireFault->kind);
                    if (trace_ != nullptr) {
                        trace_->event("malformed-sent");
                    }
                } else {
                    deliver(*responder_.liveStatus(uptime()));
                }
            }
            // A late tick is not made up for: the meters only need the newest values.
            nextStatus += interval;
            if (nextStatus <= SteadyClock::now()) {
                nextStatus = SteadyClock::now() + interval;
            }
            continue;
        }

        auto wait = SteadyClock::duration(slice);
        if (statusesStarted_) {
            wait = std::min(wait, nextStatus - now);
        }
        if (dropAt) {
            wait = std::min(wait, *dropAt - now);
        }
        if (!heardFromHost_ && silentUntil) {
            wait = std::min(wait, *silentUntil - now);
        }
        const auto body = link_.receive(std::chrono::ceil<std::chrono::milliseconds>(
            std::max(wait, SteadyClock::duration::zero())));
        if (!body) {
            continue;
        }
        heardFromHost_ = true;
        if (!dropAt && options_.dropAfterSeconds) {
            dropAt =
                SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                         std::chrono::duration<double>(*options_.dropAfterSeconds));
        }
        const bool statusesWereStarted = statusesStarted_;
        if (handle(*body)) {
            return End::Reboot;
        }
        if (statusesStarted_ && !statusesWereStarted) {
            nextStatus = SteadyClock::now() + interval;
        }
    }
}

bool HostSession::handle(const std::vector<std::uint8_t>& body) {
    UnitRequest request;
    try {
        request = UnitRequest::decode(body.data(), body.size());
    } catch (const VerloException& error) {
        if (trace_ != nullptr) {
            trace_->event("request-rejected", error.what());
        }
        responder_.logError(uptime(),
                            std::string("Unreadable message from the host: ") + error.what());
        return false;
    }

    UnitResponder::Outcome outcome = responder_.respond(request, uptime());
    if (trace_ != nullptr) {
        TraceMessage message;
        message.command = request.type->name();
        message.code = request.type->code();
        message.length = request.length;
        for (const auto& pair : request.values) {
            message.ids.push_back(pair.first);
        }
        message.blocks = outcome.blocks;
        message.burnt = outcome.burnt;
        trace_->received(message);
    }
    for (const auto& reply : outcome.replies) {
        if (options_.latencyMs != 0 &&
            !StopSignal::sleepFor(std::chrono::milliseconds(options_.latencyMs))) {
            return false;
        }
        deliver(*reply);
        if (reply->commandType().code() == CommandType::GetAllResponse &&
            options_.statusIntervalMs != 0) {
            statusesStarted_ = true;
        }
    }
    return outcome.reboot;
}

void HostSession::deliver(const Command& command) {
    if (link_.hostGone()) {
        return;
    }
    const bool corrupted = link_.send(command);
    if (trace_ != nullptr) {
        TraceMessage message = describe(command);
        message.corrupted = corrupted;
        trace_->sent(message);
    }
}
