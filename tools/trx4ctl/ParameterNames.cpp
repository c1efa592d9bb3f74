#include "ParameterNames.h"

#include "CommandErrors.h"
#include "TerminalText.h"

#include "base/KORAParameterIds.h"
#include "model/ControlParameter.h"
#include "model/ParameterFormatter.h"
#include "model/ParameterSet.h"
#include "model/ParameterText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool blank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isspace(c) != 0; });
}

// A decimal number (with an optional sign) or a hexadecimal one ("0x1F").
std::optional<long> parseNumber(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    if (!hex && begin != end && *begin == '+') {
        ++begin;
    }
    long value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (begin == end || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string ParameterNames::shownValue(const Parameter& parameter, const ParameterValue& value) {
    if (const auto pin = windowPin(parameter, value)) {
        return std::to_string(value.toSignedInt()) + " (" +
               ParameterText::valueText(parameter, value) + ", pin " + std::to_string(*pin) +
               " in the window)";
    }
    return TerminalText::escaped(ParameterText::shownValue(parameter, value));
}

std::optional<int> ParameterNames::windowPin(const Parameter& parameter,
                                             const ParameterValue& value) {
    constexpr int ports = 8;
    const bool isPort = parameter.id() == KORAParameterIds::filmAutomationPort ||
                        parameter.id() == KORAParameterIds::videoAutomationPort;
    if (!isPort || !ParameterText::isNumber(value) || value.toSignedInt() < 0 ||
        value.toSignedInt() >= ports) {
        return std::nullopt;
    }
    return value.toSignedInt() + 1;
}

Parameter& ParameterNames::find(const std::string& text) const {
    // Parameters without a display name have an empty one: a blank name would
    // match the first of them.
    if (blank(text)) {
        throw UsageError("a parameter needs an identifier or a name, not '" + text + "'");
    }
    if (const auto number = parseNumber(text); number && *number >= 0 && *number <= 0xFFFF) {
        const ParameterId id(static_cast<std::uint16_t>(*number));
        if (Parameter* found = parameters_->controlParameters().lookup(id)) {
            return *found;
        }
        if (Parameter* found = parameters_->statusParameters().lookup(id)) {
            return *found;
        }
        throw UsageError("there is no parameter " + ParameterText::idText(id));
    }
    const std::string wanted = lowered(text);
    for (auto& [id, parameter] : parameters_->controlParameters()) {
        if (lowered(ParameterText::name(parameter)) == wanted) {
            return parameter;
        }
    }
    for (auto& [id, parameter] : parameters_->statusParameters()) {
        if (lowered(ParameterText::name(parameter)) == wanted) {
            return parameter;
        }
    }
    throw UsageError("there is no parameter named '" + text + "'");
}

ControlParameter& ParameterNames::findControl(const std::string& text) const {
    Parameter& parameter = find(text);
    if (parameters_->controlParameters().lookup(parameter.id()) == nullptr) {
        throw UsageError(ParameterText::label(parameter) +
                         " is a status parameter; only the unit sets it");
    }
    return static_cast<ControlParameter&>(parameter);
}

ParameterValue ParameterNames::parseValue(const Parameter& parameter,
                                          const std::string& text) const {
    if (blank(text)) {
        throw UsageError(ParameterText::label(parameter) + " needs a value, not '" + text + "'");
    }
    // Text parameters (names, addresses, versions) take the text itself.
    if (ParameterText::takesText(parameter)) {
        if (text.size() > ParameterValue::maximumWireLength) {
            throw UsageError(ParameterText::label(parameter) + " takes at most " +
                             std::to_string(ParameterValue::maximumWireLength) +
                             " bytes of text, not " + std::to_string(text.size()));
        }
        return ParameterValue(text);
    }
    const int minimum = parameter.minimum().toSignedInt();
    const int maximum = parameter.maximum().toSignedInt();
    const std::string outOfRange = " is out of range for " + ParameterText::label(parameter) +
                                   ": it takes " + ParameterText::rangeText(parameter);
    if (const auto number = parseNumber(text)) {
        if (*number < minimum || *number > maximum) {
            throw UsageError(text + outOfRange);
        }
        return ParameterValue(static_cast<int>(*number));
    }
    const std::string wanted = lowered(text);
    for (int candidate = minimum; candidate <= maximum; ++candidate) {
        ParameterValue value(candidate);
        if (lowered(ParameterText::valueText(parameter, value)) == wanted) {
            return value;
        }
    }
    throw UsageError("'" + text + "' is no value of " + ParameterText::label(parameter) +
                     ", which takes " + ParameterText::rangeText(parameter));
}
