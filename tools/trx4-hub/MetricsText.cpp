#include "MetricsText.h"

#include <charconv>
#include <functional>

namespace {

// A label value with backslash, double quote and line feed escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string number(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return {buffer, end};
}

class Writer {
public:
    using Labels = std::vector<std::pair<std::string, std::string>>;

    // Writes the family's HELP and TYPE lines, then whatever samples each
    // unit's snapshot gives it.
    void family(const std::string& name, const std::string& type, const std::string& help,
                const std::vector<UnitSnapshot>& units,
                const std::function<void(const UnitSnapshot&)>& samples) {
        name_ = name;
        text += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
        for (const UnitSnapshot& unit : units) {
            samples(unit);
        }
    }

    // suffix names a histogram's series (_bucket, _sum, _count).
    void sample(const UnitSnapshot& unit, const Labels& labels, double value,
                const char* suffix = "") {
        text += name_ + suffix + "{unit=" + quoted(unit.unit);
        for (const auto& [label, labelValue] : labels) {
            text += "," + label + "=" + quoted(labelValue);
        }
        text += "} " + number(value) + "\n";
    }

    std::string text;

private:
    std::string name_;
};

} // namespace

std::string metricsText(const std::vector<UnitSnapshot>& units) {
    Writer out;
    out.family("trx4_up", "gauge",
               "1 once the unit has been connected for 5 s without a fault, else 0.", units,
               [&](const UnitSnapshot& unit) { out.sample(unit, {}, unit.up ? 1 : 0); });
    out.family(
        "trx4_output_level_dbfs", "gauge",
        "Output level of each of the unit's eight channels, in dB full scale.", units,
        [&](const UnitSnapshot& unit) {
            for (std::size_t i = 0; unit.up && i < unit.levelsDbfs.size(); ++i) {
                out.sample(unit, {{"channel", UnitSnapshot::channels[i]}}, unit.levelsDbfs[i]);
            }
        });
    out.family(
        "trx4_decoding", "gauge", "1 for the decoding mode the unit is in, 0 for the others.",
        units, [&](const UnitSnapshot& unit) {
            for (std::size_t i = 0; unit.up && i < unit.decodingModes.size(); ++i) {
                out.sample(unit, {{"mode", unit.decodingModes[i]}}, unit.decoding == i ? 1 : 0);
            }
        });
    out.family("trx4_frame_rate_fps", "gauge",
               "Video frame rate the unit is locked to, 0 at No Lock.", units,
               [&](const UnitSnapshot& unit) {
                   if (unit.up) {
                       out.sample(unit, {}, unit.frameRateFps);
                   }
               });
    out.family(
        "trx4_front_panel_input", "gauge",
        "1 for the input selected on the unit's front panel, 0 for the other.", units,
        [&](const UnitSnapshot& unit) {
            for (const char* input : {"Film", "Digital Media"}) {
                if (unit.up) {
                    out.sample(unit, {{"input", input}}, unit.frontPanelInput == input ? 1 : 0);
                }
            }
        });
    out.family("trx4_firmware_info", "gauge", "The unit's firmware version, always 1.", units,
               [&](const UnitSnapshot& unit) {
                   if (unit.up) {
                       out.sample(unit, {{"version", unit.firmwareVersion}}, 1);
                   }
               });
    out.family("trx4_poll_errors_total", "counter",
               "Polls of the unit that failed, connection attempts included.", units,
               [&](const UnitSnapshot& unit) {
                   out.sample(unit, {}, static_cast<double>(unit.pollErrors));
               });
    out.family("trx4_last_poll_timestamp_seconds", "gauge",
               "Unix time of the last poll the unit answered.", units,
               [&](const UnitSnapshot& unit) {
                   if (unit.lastPollSeconds) {
                       out.sample(unit, {}, *unit.lastPollSeconds);
                   }
               });
    out.family("trx4_last_message_timestamp_seconds", "gauge",
               "Unix time of the last message of any kind from the unit.", units,
               [&](const UnitSnapshot& unit) {
                   if (unit.lastMessageSeconds) {
                       out.sample(unit, {}, *unit.lastMessageSeconds);
                   }
               });
    out.family("trx4_poll_duration_seconds", "histogram", "How long the polls of the unit took.",
               units, [&](const UnitSnapshot& unit) {
                   std::uint64_t cumulative = 0;
                   for (std::size_t i = 0; i < unit.pollBuckets.size(); ++i) {
                       cumulative += unit.pollBuckets[i];
                       out.sample(unit, {{"le", number(UnitSnapshot::pollBucketBounds[i])}},
                                  static_cast<double>(cumulative), "_bucket");
                   }
                   out.sample(unit, {{"le", "+Inf"}}, static_cast<double>(unit.polls), "_bucket");
                   out.sample(unit, {}, unit.pollSecondsTotal, "_sum");
                   out.sample(unit, {}, static_cast<double>(unit.polls), "_count");
               });
    return out.text;
}
