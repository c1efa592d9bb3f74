#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"

#include <string>

class Parameter;

// How messages and listings name parameters and their values: by display
// name where the catalogue gives one, else by identifier ("0x0303").
namespace ParameterText {

// "0x0303".
std::string idText(ParameterId id);
// The display name, or empty when the parameter has none.
std::string name(const Parameter& parameter);
// The name, or the identifier for a parameter without one.
std::string label(const Parameter& parameter);
// The identifier followed by the name, if any: "0x0300 Cinema Processor".
std::string heading(const Parameter& parameter);
// The display text of value.
std::string valueText(const Parameter& parameter, const ParameterValue& value);
// "1 (Arvo B)" for a number with a text of its own, else the text alone.
std::string shownValue(const Parameter& parameter, const ParameterValue& value);
// "20..150", or "text" for a parameter whose values are texts.
std::string rangeText(const Parameter& parameter);
// Whether the parameter's values are texts (names, addresses, versions).
bool takesText(const Parameter& parameter);
// Whether the value is a number (two bytes) rather than text.
inline bool isNumber(const ParameterValue& value) {
    return value.length() == 2;
}

} // namespace ParameterText
