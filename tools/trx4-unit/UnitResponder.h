#pragma once

#include "MeterGenerator.h"
#include "Scenario.h"
#include "TraceWriter.h"
#include "UnitLog.h"
#include "UnitOptions.h"
#include "UnitState.h"

#include "base/ParameterValueMap.h"
#include "firmware/MD5Digest.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Command;
class CommandType;

// A message from the host, decoded from a packet body. The core library's
// decoder knows only the messages a unit sends, so the unit reads requests here.
struct UnitRequest {
    const CommandType* type = nullptr;
    // The pairs of a Set.
    ParameterValueMap values;
    // The image bytes of a Download Data.
    std::vector<std::uint8_t> data;
    // Length of the body, type byte included.
    std::size_t length = 0;

    // VerloException when the body is empty, its type unknown or a Set's
    // pairs do not decode.
    static UnitRequest decode(const std::uint8_t* body, std::size_t size);
};

// The unit's behaviour, apart from any wire: answers each request, keeps the
// logs, carries out the flash steps and produces the live Status messages.
class UnitResponder {
public:
    struct Outcome {
        std::vector<std::unique_ptr<Command>> replies;
        // The unit burnt an image and must now reboot.
        bool reboot = false;
        // For the trace: blocks downloaded since the erase (Download Data) or
        // burnt (Burn And Reboot).
        std::optional<std::uint32_t> blocks;
        // Burn And Reboot: what was burnt, the bytes received since the erase.
        std::optional<BurntImage> burnt;
    };

    // Identifiers of the unsolicited Status: the meters, then the decoding status.
    static const std::vector<ParameterId>& liveStatusIds();

    // Takes the scenario's status values into state.
    UnitResponder(UnitState& state, const Scenario& scenario, const UnitOptions& options);
    ~UnitResponder();
    UnitResponder(const UnitResponder&) = delete;
    UnitResponder& operator=(const UnitResponder&) = delete;

    // uptime: seconds since the unit started, for meters and log stamps.
    Outcome respond(const UnitRequest& request, double uptime);
    // The unsolicited Status with the meters moved on to uptime.
    std::unique_ptr<Command> liveStatus(double uptime);
    // The reboot is over: the unit runs the version of the image it burnt.
    void finishReboot(double uptime);

    // Entries for things that happen outside requests (connections, CRC errors).
    void logEvent(double uptime, const std::string& text);
    void logError(double uptime, const std::string& text);
    const UnitLog& eventLog() const { return eventLog_; }
    const UnitLog& errorLog() const { return errorLog_; }

    // The version announced by "FW:A.B.C.D" at the start of an image, if any.
    static std::optional<UnitState::Version> imageVersion(const std::vector<std::uint8_t>& image);

private:
    void refreshStatus(double uptime);
    Outcome set(const UnitRequest& request, double uptime);
    Outcome flashStep(const UnitRequest& request, double uptime);
    std::optional<std::uint16_t> injectedFlashError(FlashStep step) const;

    UnitState& state_;
    const Scenario& scenario_;
    const UnitOptions& options_;
    MeterGenerator meters_;
    UnitLog eventLog_;
    UnitLog errorLog_;
    // The start of the image being downloaded; enough to read its version.
    std::vector<std::uint8_t> imageHead_;
    std::uint32_t blocks_ = 0;
    std::size_t imageBytes_ = 0;
    MD5Digest imageDigest_;
    std::optional<UnitState::Version> burntVersion_;
};
