#pragma once

#include <string>

// How much an event matters, with the syslog priority the journal reads.
enum class LogLevel { error = 3, warning = 4, info = 6 };

// Writes one whole line for one event to standard error, in one write so
// that lines from many threads never interleave. Under systemd (which sets
// JOURNAL_STREAM) the line starts with the journal's <priority> prefix, as
// the journal stamps the time itself; elsewhere with the UTC time and the
// level in words.
void logLine(LogLevel level, const std::string& text);
