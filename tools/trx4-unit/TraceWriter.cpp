#include "TraceWriter.h"

#include "base/VerloException.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <ostream>

TraceWriter::TraceWriter(std::ostream& stream, WallClock clock)
    : stream_(&stream), clock_(std::move(clock)) {}

TraceWriter::~TraceWriter() = default;

std::unique_ptr<TraceWriter> TraceWriter::open(const std::string& path) {
    auto file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!*file) {
        throw VerloException("Cannot create the trace file " + path);
    }
    auto writer = std::make_unique<TraceWriter>(*file);
    writer->ownedStream_ = std::move(file);
    return writer;
}

void TraceWriter::received(const TraceMessage& message) {
    this->message("received", message);
}

void TraceWriter::sent(const TraceMessage& message) {
    this->message("sent", message);
}

void TraceWriter::message(const char* direction, const TraceMessage& message) {
    nlohmann::json line;
    line["time"] = timestamp(clock_());
    line["direction"] = direction;
    line["command"] = message.command;
    line["code"] = message.code;
    nlohmann::json ids = nlohmann::json::array();
    for (const ParameterId id : message.ids) {
        ids.push_back(hex(id));
    }
    line["ids"] = std::move(ids);
    line["length"] = message.length;
    if (message.blocks) {
        line["blocks"] = *message.blocks;
    }
    if (message.burnt) {
        line["bytes"] = message.burnt->bytes;
        line["md5"] = message.burnt->md5;
    }
    if (message.status) {
        line["status"] = *message.status;
    }
    if (message.corrupted) {
        line["corrupted"] = true;
    }
    *stream_ << line.dump() << '\n' << std::flush;
}

void TraceWriter::event(const std::string& name, const std::string& detail) {
    nlohmann::json line;
    line["time"] = timestamp(clock_());
    line["event"] = name;
    if (!detail.empty()) {
        line["detail"] = detail;
    }
    // Details may quote bytes from the wire; never let them break the JSON.
    *stream_ << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n'
             << std::flush;
}

std::string TraceWriter::hex(ParameterId id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id.number()));
    return text;
}

std::string TraceWriter::timestamp(std::chrono::system_clock::time_point time) {
    const auto sinceEpoch = time.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count();
    const std::time_t whole = seconds.count();
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(milliseconds));
    return text;
}
