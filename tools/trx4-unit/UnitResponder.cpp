#include "UnitResponder.h"

#include "TraceWriter.h"

#include "base/KORAParameterIds.h"
#include "base/VerloException.h"
#include "firmware/FirmwareImage.h"
#include "protocol/Command.h"
#include "protocol/CommandType.h"

#include <algorithm>

namespace {

constexpr std::uint16_t firstMeter = KORAParameterIds::firstLevelMeter.number();
constexpr std::uint16_t programConfiguration = 0x0101;
constexpr std::uint16_t currentProgram = 0x010E;
constexpr std::size_t imageHeadLength = 32;

std::string versionText(const UnitState::Version& version) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]) + "." + std::to_string(version[3]);
}

std::string describeValue(const ParameterValue& value) {
    if (value.length() == 2) {
        return std::to_string(value.toSignedInt());
    }
    return "\"" + value.toString() + "\"";
}

const char* stepName(FlashStep step) {
    switch (step) {
    case FlashStep::Erase:
        return "erase";
    case FlashStep::Download:
        return "download";
    case FlashStep::Burn:
        return "burn";
    }
    return "flash";
}

} // namespace

UnitRequest UnitRequest::decode(const std::uint8_t* body, std::size_t size) {
    if (size == 0) {
        throw VerloException("missing command type in buffer");
    }
    UnitRequest request;
    request.type = &CommandType::lookUp(body[0]);
    request.length = size;
    if (request.type->code() == CommandType::Set) {
        SetCommand set;
        set.read(body, size);
        request.values = set.values();
    } else if (request.type->code() == CommandType::DownloadData) {
        request.data.assign(body + 1, body + size);
    }
    return request;
}

const std::vector<ParameterId>& UnitResponder::liveStatusIds() {
    static const std::vector<ParameterId> ids = [] {
        std::vector<ParameterId> result;
        for (std::uint16_t meter = 0; meter < Scenario::outputCount; ++meter) {
            result.emplace_back(static_cast<std::uint16_t>(firstMeter + meter));
        }
        for (const std::uint16_t id :
             {0x0100, 0x0101, 0x0102, 0x0104, 0x010E, 0x010F, 0x0110, 0x0111, 0x0112}) {
            result.emplace_back(id);
        }
        return result;
    }();
    return ids;
}

UnitResponder::UnitResponder(UnitState& state, const Scenario& scenario, const UnitOptions& options)
    : state_(state), scenario_(scenario), options_(options), meters_(scenario.levelsDb),
      eventLog_("TRX4 event log", "No events"), errorLog_("TRX4 error log", "No errors") {
    for (const auto& [id, value] : scenario_.status) {
        state_.setStatus(id, value);
    }
    state_.setFirmwareVersion(options_.firmware);
    refreshStatus(0.0);
    logEvent(0.0, "Power on, firmware " + versionText(state_.firmwareVersion()));
    logEvent(0.0, "Input state: " + scenario_.description);
}

UnitResponder::~UnitResponder() = default;

void UnitResponder::logEvent(double uptime, const std::string& text) {
    eventLog_.add(uptime, text);
}

void UnitResponder::logError(double uptime, const std::string& text) {
    errorLog_.add(uptime, text);
}

void UnitResponder::refreshStatus(double uptime) {
    const MeterGenerator::Levels levels = meters_.levels(uptime);
    for (std::size_t output = 0; output < levels.size(); ++output) {
        state_.setStatus(ParameterId(static_cast<std::uint16_t>(firstMeter + output)),
                         ParameterValue(levels[output]));
    }
    if (scenario_.followsProgramSelection) {
        const auto configuration =
            state_.value(ParameterId(programConfiguration)).value_or(ParameterValue());
        if (const auto selection = UnitState::programSelectionFor(configuration.toSignedInt())) {
            state_.setStatus(ParameterId(currentProgram),
                             state_.value(*selection).value_or(ParameterValue()));
        }
    }
}

std::unique_ptr<Command> UnitResponder::liveStatus(double uptime) {
    refreshStatus(uptime);
    ParameterValueMap values;
    for (const ParameterId id : liveStatusIds()) {
        values[id] = state_.value(id).value_or(ParameterValue());
    }
    return std::make_unique<StatusCommand>(CommandType::lookUp(CommandType::Status),
                                           std::move(values));
}

UnitResponder::Outcome UnitResponder::respond(const UnitRequest& request, double uptime) {
    Outcome outcome;
    switch (request.type->code()) {
    case CommandType::PingRequest:
        outcome.replies.push_back(std::make_unique<PingResponseCommand>());
        break;
    case CommandType::PingResponse:
        break;
    case CommandType::GetAll:
        if (options_.silent) {
            break;
        }
        refreshStatus(uptime);
        outcome.replies.push_back(std::make_unique<StatusCommand>(
            CommandType::lookUp(CommandType::GetAllResponse), state_.values()));
        break;
    case CommandType::Set:
        return set(request, uptime);
    case CommandType::EraseFlash:
    case CommandType::DownloadData:
    case CommandType::BurnAndReboot:
        return flashStep(request, uptime);
    case CommandType::GetEventLog:
        outcome.replies.push_back(std::make_unique<LogCommand>(
            CommandType::lookUp(CommandType::EventLog), eventLog_.text()));
        break;
    case CommandType::GetErrorLog:
        outcome.replies.push_back(std::make_unique<LogCommand>(
            CommandType::lookUp(CommandType::ErrorLog), errorLog_.text()));
        break;
    default:
        // Replies and reserved codes mean nothing to the unit.
        logError(uptime, "Ignored an unexpected \"" + request.type->name() + "\" from the host");
        break;
    }
    return outcome;
}

UnitResponder::Outcome UnitResponder::set(const UnitRequest& request, double uptime) {
    Outcome outcome;
    if (options_.ignoreSet) {
        logError(uptime, "Set ignored as told (--ignore-set)");
        return outcome;
    }
    std::uint16_t refusal = 0;
    if (options_.setError) {
        refusal = *options_.setError;
        logError(uptime, "Set refused with injected status code " + std::to_string(refusal));
    } else if ((refusal = state_.check(request.values)) != 0) {
        for (const auto& [id, value] : request.values) {
            if (state_.check(ParameterValueMap{{id, value}}) != 0) {
                logError(uptime, "Set refused: " + TraceWriter::hex(id) + " = " +
                                     describeValue(value) +
                                     (refusal == UnitState::illegalParameterId
                                          ? " (not a writable parameter)"
                                          : " (out of range)"));
                break;
            }
        }
    }
    if (refusal != 0) {
        outcome.replies.push_back(std::make_unique<ErrorCommand>(refusal));
        return outcome;
    }

    const std::vector<ParameterId> written = state_.apply(request.values);
    refreshStatus(uptime);
    ParameterValueMap report;
    for (const ParameterId id : written) {
        report[id] = state_.value(id).value_or(ParameterValue());
    }
    for (const auto& [id, value] : request.values) {
        logEvent(uptime, TraceWriter::hex(id) + " set to " + describeValue(value));
    }
    outcome.replies.push_back(std::make_unique<StatusCommand>(
        CommandType::lookUp(CommandType::Status), std::move(report)));
    return outcome;
}

std::optional<std::uint16_t> UnitResponder::injectedFlashError(FlashStep step) const {
    if (options_.flashError && options_.flashError->step == step) {
        return options_.flashError->code;
    }
    return std::nullopt;
}

UnitResponder::Outcome UnitResponder::flashStep(const UnitRequest& request, double uptime) {
    Outcome outcome;
    const auto code = request.type->code();
    const FlashStep step = code == CommandType::EraseFlash     ? FlashStep::Erase
                           : code == CommandType::DownloadData ? FlashStep::Download
                                                               : FlashStep::Burn;
    if (const auto failure = injectedFlashError(step)) {
        logError(uptime, std::string("Flash ") + stepName(step) + " failed with injected code " +
                             std::to_string(*failure));
        outcome.replies.push_back(std::make_unique<FlashOperationDoneCommand>(*failure));
        return outcome;
    }
    switch (step) {
    case FlashStep::Erase:
        imageHead_.clear();
        imageBytes_ = 0;
        imageDigest_.reset();
        blocks_ = 0;
        logEvent(uptime, "Flash erased");
        break;
    case FlashStep::Download: {
        ++blocks_;
        imageBytes_ += request.data.size();
        imageDigest_.add(request.data.data(), request.data.size());
        const std::size_t wanted = std::min(
            request.data.size(), imageHeadLength - std::min(imageHead_.size(), imageHeadLength));
        imageHead_.insert(imageHead_.end(), request.data.begin(),
                          request.data.begin() + static_cast<std::ptrdiff_t>(wanted));
        outcome.blocks = blocks_;
        break;
    }
    case FlashStep::Burn:
        outcome.blocks = blocks_;
        outcome.burnt = BurntImage{imageBytes_, MD5Digest::hex(imageDigest_.value())};
        burntVersion_ = imageVersion(imageHead_);
        logEvent(uptime, "Burning " + std::to_string(blocks_) + " blocks (" +
                             std::to_string(imageBytes_) + " bytes, MD5 " + outcome.burnt->md5 +
                             "), then rebooting");
        imageHead_.clear();
        imageBytes_ = 0;
        imageDigest_.reset();
        blocks_ = 0;
        outcome.reboot = true;
        break;
    }
    outcome.replies.push_back(std::make_unique<FlashOperationDoneCommand>(0));
    return outcome;
}

void UnitResponder::finishReboot(double uptime) {
    if (burntVersion_) {
        state_.setFirmwareVersion(*burntVersion_);
        burntVersion_.reset();
    }
    logEvent(uptime, "Rebooted, firmware " + versionText(state_.firmwareVersion()));
}

std::optional<UnitState::Version>
UnitResponder::imageVersion(const std::vector<std::uint8_t>& image) {
    return FirmwareImage::versionIn(std::string(image.begin(), image.end()));
}
