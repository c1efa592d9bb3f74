#pragma once

#include "base/ParameterValue.h"
#include "base/VerloException.h"
#include "model/ControlParameter.h"
#include "model/Parameter.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// Pieces of the parameter reports. A row shows the unit's value of a parameter
// (for a control parameter not the pending one) under its formatter's name;
// a parameter without a formatter shows its identifier and signed number.

// Text from the unit (a host name, say) must not turn into markup.
std::string escapeHtml(std::string_view text);

// "<TR><TD>name</TD><TD>value</TD></TR>\r\n", with name and value escaped; a
// row whose name or value cannot be formatted is left out.
void writeHtmlRow(std::ostream& stream, const Parameter& parameter, const ParameterValue& shown);

// "name: value", or empty when the name or value cannot be formatted.
std::string textRow(const Parameter& parameter, const ParameterValue& shown);

// The caption and opening tag of a report table; the caption is written as given.
void writeHtmlTableHead(std::ostream& stream, const std::string& caption);

inline const ParameterValue& reportedValue(const Parameter& parameter) {
    return parameter.value();
}
inline const ParameterValue& reportedValue(const ControlParameter& parameter) {
    return parameter.unitValue();
}

// Rows of every parameter of map, or only of one group, in identifier order.
// A whole report checks its stream before each row and raises the message
// given when it has failed; a group section passes no message and does not check.
template <class Map>
void writeHtmlRows(std::ostream& stream, const Map& map, std::optional<std::uint8_t> group,
                   const char* failedStreamMessage) {
    for (const auto& [id, parameter] : map) {
        if (group && id.group() != *group) {
            continue;
        }
        if (failedStreamMessage != nullptr && !stream) {
            throw VerloException(failedStreamMessage);
        }
        writeHtmlRow(stream, parameter, reportedValue(parameter));
    }
}

// Each non-empty text row, after prefix and followed by "\r\n"; checks as above.
template <class Map>
void writeTextRows(std::ostream& stream, const Map& map, std::optional<std::uint8_t> group,
                   std::string_view prefix, const char* failedStreamMessage) {
    for (const auto& [id, parameter] : map) {
        if (group && id.group() != *group) {
            continue;
        }
        if (failedStreamMessage != nullptr && !stream) {
            throw VerloException(failedStreamMessage);
        }
        const std::string row = textRow(parameter, reportedValue(parameter));
        if (!row.empty()) {
            stream << prefix << row << "\r\n";
        }
    }
}
