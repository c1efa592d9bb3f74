#include "UnitCommands.h"

#include "ParameterNames.h"
#include "TerminalText.h"

#include "base/AtomicFile.h"
#include "base/KORAParameterIds.h"
#include "catalogue/KORAParams.h"
#include "model/MeterScaler.h"
#include "model/ParameterText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <thread>

namespace {

constexpr const char* reportTitle = "TRX4 Settings";
constexpr std::uint16_t firstMeter = KORAParameterIds::firstLevelMeter.number();
constexpr int meterCount = 8;
constexpr double meterFloor = -60.0;
constexpr int meterWidth = 30;
constexpr auto refreshPeriod = std::chrono::milliseconds(30);

bool isMeter(ParameterId id) {
    return id.number() >= firstMeter && id.number() < firstMeter + meterCount;
}

void drawView(KORAParams& params, std::ostream& out) {
    const KORAMeterScaler scaler;
    for (const auto& [id, parameter] : params.statusParameters()) {
        if (!isMeter(id)) {
            out << std::left << std::setw(52) << ParameterText::label(parameter)
                << ParameterNames::shownValue(parameter, parameter.value()) << '\n';
        }
    }
    for (int meter = 0; meter < meterCount; ++meter) {
        const Parameter& parameter =
            params.findParameter(ParameterId(static_cast<std::uint16_t>(firstMeter + meter)));
        const double level = scaler.scale(parameter.value().toSignedInt(), meterFloor);
        const int filled = std::clamp(
            static_cast<int>(std::lround((level - meterFloor) / -meterFloor * meterWidth)), 0,
            meterWidth);
        char line[32];
        std::snprintf(line, sizeof line, "%6.1f dB", level);
        out << "Meter " << meter + 1 << "  " << line << "  |"
            << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(30 - filled), ' ') << "|\n";
    }
}

} // namespace

std::string UnitCommands::normalisedLines(const std::string& text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            lines += text[i];
        }
    }
    if (!lines.empty() && lines.back() != '\n') {
        lines += '\n';
    }
    return lines;
}

void UnitCommands::log(KORAParams& params, LogKind kind, std::ostream& out) {
    std::string text;
    if (kind == LogKind::Events) {
        params.getEventLog(text);
    } else {
        params.getErrorLog(text);
    }
    out << TerminalText::escaped(normalisedLines(text), true);
}

void UnitCommands::report(KORAParams& params, ReportFormat format,
                          const std::optional<std::string>& path, std::ostream& out) {
    std::ostringstream text;
    if (format == ReportFormat::Html) {
        params.writeHtmlReport(text, reportTitle);
    } else {
        // The catalogue's own text report is empty; the generic listing is not.
        params.ParameterSet::writeTextReport(text, reportTitle);
    }
    std::string written = format == ReportFormat::Html ? text.str() : normalisedLines(text.str());
    // The report names ports as the unit does; the window numbers pins.
    if (format == ReportFormat::Html) {
        written.insert(written.rfind("</BODY>"),
                       std::string("<P>") + ParameterNames::pinNote + "</P>\r\n");
    } else {
        written += std::string("\n") + ParameterNames::pinNote + "\n";
    }
    if (!path) {
        out << TerminalText::escaped(written, true);
        return;
    }
    AtomicFile::write(*path, written);
}

void UnitCommands::watch(KORAParams& params, std::ostream& out, bool terminal, unsigned count,
                         const std::atomic<bool>& stop) {
    auto next = std::chrono::steady_clock::now();
    for (unsigned shown = 0; !stop && (count == 0 || shown < count); ++shown) {
        params.pollNext();
        std::ostringstream view;
        drawView(params, view);
        // Home and clear on a terminal; otherwise one block per refresh.
        out << (terminal ? "\x1b[H\x1b[2J" : "") << view.str() << (terminal ? "" : "\n")
            << std::flush;
        next += refreshPeriod;
        std::this_thread::sleep_until(next);
    }
}
