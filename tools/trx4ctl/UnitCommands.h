#pragma once

#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>

class KORAParams;

// Reading the unit as a whole: its logs, reports and a live view.
namespace UnitCommands {

enum class LogKind { Events, Errors };
enum class ReportFormat { Html, Text };

// The log's text with every line ending as "\n", the last line included, and
// other control characters escaped (TerminalText).
void log(KORAParams& params, LogKind kind, std::ostream& out);
// The parameter set's report; to path when given, written atomically
// (AtomicFile), else to out with control characters escaped.
void report(KORAParams& params, ReportFormat format, const std::optional<std::string>& path,
            std::ostream& out);
// Refreshes the status parameters every 30 ms and shows them with the eight
// meters in dB, until stop is set or count refreshes have been shown (0: no
// limit). On a terminal the view is redrawn in place.
void watch(KORAParams& params, std::ostream& out, bool terminal, unsigned count,
           const std::atomic<bool>& stop);

// Line endings "\r\n" and "\r" as "\n", ending with one when not empty.
std::string normalisedLines(const std::string& text);

} // namespace UnitCommands
