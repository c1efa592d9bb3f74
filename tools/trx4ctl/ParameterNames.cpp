#include "ParameterNames.h"

#include "CommandErrors.h"
#include "TerminalText.h"

#include "model/ControlParameter.h"
#include "model/ParameterFormatter.h"
#include "model/ParameterSet.h"

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

std::string ParameterNames::idText(ParameterId id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id.number()));
    return text;
}

std::string ParameterNames::name(const Parameter& parameter) {
    return parameter.formatter() ? parameter.formatter()->name() : std::string();
}

std::string ParameterNames::label(const Parameter& parameter) {
    const std::string shown = name(parameter);
    return shown.empty() ? idText(parameter.id()) : shown;
}

std::string ParameterNames::valueText(const Parameter& parameter, const ParameterValue& value) {
    std::ostringstream text;
    parameter.format(text, value);
    return text.str();
}

std::string ParameterNames::shownValue(const Parameter& parameter, const ParameterValue& value) {
    const std::string text = TerminalText::escaped(valueText(parameter, value));
    if (!isNumber(value)) {
        return text;
    }
    const std::string number = std::to_string(value.toSignedInt());
    const std::string unsignedNumber = std::to_string(value.toInt());
    return text == number || text == unsignedNumber ? text : number + " (" + text + ")";
}

std::string ParameterNames::rangeText(const Parameter& parameter) {
    if (takesText(parameter)) {
        return "text";
    }
    const ParameterValue& minimum = parameter.minimum();
    const ParameterValue& maximum = parameter.maximum();
    // Limits such as 0 and 0xFFFF are unsigned words.
    if (maximum.toSignedInt() < minimum.toSignedInt()) {
        return std::to_string(minimum.toInt()) + ".." + std::to_string(maximum.toInt());
    }
    return std::to_string(minimum.toSignedInt()) + ".." + std::to_string(maximum.toSignedInt());
}

bool ParameterNames::takesText(const Parameter& parameter) {
    return dynamic_cast<const StringFormatter*>(parameter.formatter()) != nullptr;
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
        throw UsageError("there is no parameter " + idText(id));
    }
    const std::string wanted = lowered(text);
    for (auto& [id, parameter] : parameters_->controlParameters()) {
        if (lowered(name(parameter)) == wanted) {
            return parameter;
        }
    }
    for (auto& [id, parameter] : parameters_->statusParameters()) {
        if (lowered(name(parameter)) == wanted) {
            return parameter;
        }
    }
    throw UsageError("there is no parameter named '" + text + "'");
}

ControlParameter& ParameterNames::findControl(const std::string& text) const {
    Parameter& parameter = find(text);
    if (parameters_->controlParameters().lookup(parameter.id()) == nullptr) {
        throw UsageError(label(parameter) + " is a status parameter; only the unit sets it");
    }
    return static_cast<ControlParameter&>(parameter);
}

ParameterValue ParameterNames::parseValue(const Parameter& parameter,
                                          const std::string& text) const {
    if (blank(text)) {
        throw UsageError(label(parameter) + " needs a value, not '" + text + "'");
    }
    // Text parameters (names, addresses, versions) take the text itself.
    if (takesText(parameter)) {
        if (text.size() > ParameterValue::maximumWireLength) {
            throw UsageError(label(parameter) + " takes at most " +
                             std::to_string(ParameterValue::maximumWireLength) +
                             " bytes of text, not " + std::to_string(text.size()));
        }
        return ParameterValue(text);
    }
    const int minimum = parameter.minimum().toSignedInt();
    const int maximum = parameter.maximum().toSignedInt();
    const std::string outOfRange =
        " is out of range for " + label(parameter) + ": it takes " + rangeText(parameter);
    if (const auto number = parseNumber(text)) {
        if (*number < minimum || *number > maximum) {
            throw UsageError(text + outOfRange);
        }
        return ParameterValue(static_cast<int>(*number));
    }
    const std::string wanted = lowered(text);
    for (int candidate = minimum; candidate <= maximum; ++candidate) {
        const ParameterValue value(candidate);
        if (lowered(valueText(parameter, value)) == wanted) {
            return value;
        }
    }
    throw UsageError("'" + text + "' is no value of " + label(parameter) + ", which takes " +
                     rangeText(parameter));
}
