#pragma once

#include "base/ParameterId.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The image a Burn And Reboot burnt: the bytes received since the last erase.
struct BurntImage {
    std::size_t bytes = 0;
    // The MD5 digest of those bytes, in lower-case hexadecimal.
    std::string md5;
};

// What the trace records about one message that crossed the wire.
struct TraceMessage {
    std::string command;
    std::uint8_t code = 0;
    // Identifiers of a parameter list, in wire order.
    std::vector<ParameterId> ids;
    // Length of the packet body (type byte and payload).
    std::size_t length = 0;
    // Download Data: the block's number since the last erase; Burn And Reboot:
    // the number of blocks burnt.
    std::optional<std::uint32_t> blocks;
    // Burn And Reboot, when carried out.
    std::optional<BurntImage> burnt;
    // Error and Flash Operation Done: the status code sent.
    std::optional<std::uint16_t> status;
    // A frame sent with a deliberately wrong CRC.
    bool corrupted = false;
};

// Writes one JSON object per line for every message received and sent and for
// the unit's own events (listening, host connected, reboot...), flushed at
// once so that a test can read the file while the unit runs.
class TraceWriter {
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // Writes to the stream, which must outlive the writer.
    explicit TraceWriter(std::ostream& stream, WallClock clock = std::chrono::system_clock::now);
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // A writer to a new file at path; VerloException when it cannot be created.
    static std::unique_ptr<TraceWriter> open(const std::string& path);

    void received(const TraceMessage& message);
    void sent(const TraceMessage& message);
    // An event with an optional detail text.
    void event(const std::string& name, const std::string& detail = {});

    // "0x030E": how identifiers appear in the trace.
    static std::string hex(ParameterId id);
    // ISO 8601 UTC with milliseconds, e.g. "2024-05-01T12:00:00.250Z".
    static std::string timestamp(std::chrono::system_clock::time_point time);

private:
    void message(const char* direction, const TraceMessage& message);

    std::unique_ptr<std::ostream> ownedStream_;
    std::ostream* stream_;
    WallClock clock_;
};
