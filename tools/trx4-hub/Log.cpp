#include "Log.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

const char* levelName(LogLevel level) {
    switch (level) {
    case LogLevel::error:
        return "error";
    case LogLevel::warning:
        return "warning";
    case LogLevel::info:
        break;
    }
    return "info";
}

std::string timeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
    return std::string(text, length) + fraction;
}

} // namespace

void logLine(LogLevel level, const std::string& text) {
    // Read once; nothing in the program changes its environment.
    static const bool underSystemd =
        std::getenv("JOURNAL_STREAM") != nullptr; // NOLINT(concurrency-mt-unsafe)
    std::string line = underSystemd ? "<" + std::to_string(static_cast<int>(level)) + ">"
                                    : timeStamp() + " " + levelName(level) + ": ";
    line += text;
    line += '\n';
    const char* next = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, next, left);
        if (written <= 0) {
            return;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
}
