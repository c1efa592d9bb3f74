#pragma once

// Shared by the benchmarks of a firmware update over a serial line paced at
// 115200 baud: the unit, the image and the time from the erase to the burn.

#include "UnitProcess.h"

#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"
#include "support/FirmwareImages.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <ctime>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace lineRate {

// 8N1 at 115200 baud: 10 bits a byte.
constexpr double bytesPerSecond = 11520;
constexpr std::size_t payloadSize = 256 * 1024;

inline std::vector<std::uint8_t> image() {
    return signedImage(patternPayload(payloadSize));
}

// A unit on a paced pseudo-terminal, writing its trace to tracePath.
inline UnitProcess unit(const std::string& tracePath) {
    return UnitProcess({"--pty", "--line-rate", "--status-interval-ms", "0", "--reboot-seconds",
                        "0", "--trace", tracePath});
}

inline std::chrono::system_clock::time_point timeOf(const nlohmann::json& line) {
    std::tm utc{};
    double seconds = 0;
    std::istringstream text(line.at("time").get<std::string>());
    text >> std::get_time(&utc, "%Y-%m-%dT%H:%M:") >> seconds;
    return std::chrono::system_clock::from_time_t(timegm(&utc)) +
           std::chrono::duration_cast<std::chrono::system_clock::duration>(
               std::chrono::duration<double>(seconds));
}

// Seconds from the unit's taking the erase to its confirming the burn, as
// its trace tells them; nothing when the trace shows no confirmed burn.
inline std::optional<double> eraseToBurn(const std::vector<nlohmann::json>& trace) {
    std::optional<std::chrono::system_clock::time_point> erased;
    bool burning = false;
    for (const nlohmann::json& line : trace) {
        const std::string command = line.value("command", "");
        const std::string direction = line.value("direction", "");
        if (direction == "received" && command == "Erase Flash" && !erased) {
            erased = timeOf(line);
        } else if (direction == "received" && command == "Burn And Reboot") {
            burning = true;
        } else if (burning && direction == "sent" && command == "Flash Operation Done" && erased) {
            return std::chrono::duration<double>(timeOf(line) - *erased).count();
        }
    }
    return std::nullopt;
}

// Times the iteration by the unit's trace; false (the benchmark skipped)
// when the trace shows no confirmed burn.
inline bool timeIteration(benchmark::State& state, const std::vector<nlohmann::json>& trace) {
    const std::optional<double> seconds = eraseToBurn(trace);
    if (!seconds) {
        state.SkipWithError("the unit confirmed no burn");
        return false;
    }
    state.SetIterationTime(*seconds);
    return true;
}

// Throughput counts the payload: the line also carries framing both ways.
inline void countPayload(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payloadSize));
}

} // namespace lineRate
