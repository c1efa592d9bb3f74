#include "model/ParameterText.h"

#include "model/Parameter.h"
#include "model/ParameterFormatter.h"

#include <cstdio>
#include <sstream>

std::string ParameterText::idText(ParameterId id) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(id.number()));
    return text;
}

std::string ParameterText::name(const Parameter& parameter) {
    return parameter.formatter() ? parameter.formatter()->name() : std::string();
}

std::string ParameterText::label(const Parameter& parameter) {
    const std::string shown = name(parameter);
    return shown.empty() ? idText(parameter.id()) : shown;
}

std::string ParameterText::heading(const Parameter& parameter) {
    const std::string shown = name(parameter);
    return idText(parameter.id()) + (shown.empty() ? "" : " " + shown);
}

std::string ParameterText::valueText(const Parameter& parameter, const ParameterValue& value) {
    std::ostringstream text;
    parameter.format(text, value);
    return text.str();
}

std::string ParameterText::shownValue(const Parameter& parameter, const ParameterValue& value) {
    std::string text = valueText(parameter, value);
    if (!isNumber(value)) {
        return text;
    }
    const std::string number = std::to_string(value.toSignedInt());
    const std::string unsignedNumber = std::to_string(value.toInt());
    return text == number || text == unsignedNumber ? text : number + " (" + text + ")";
}

std::string ParameterText::rangeText(const Parameter& parameter) {
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

bool ParameterText::takesText(const Parameter& parameter) {
    return dynamic_cast<const StringFormatter*>(parameter.formatter()) != nullptr;
}
