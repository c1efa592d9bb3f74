#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"

#include <string>

class ControlParameter;
class Parameter;
class ParameterSet;

// How trx4ctl names parameters and values on the command line and in its
// output: a parameter by identifier ("0x0303") or display name, compared
// without regard to case; a value by number or by its display text.
class ParameterNames {
public:
    explicit ParameterNames(ParameterSet& parameters) : parameters_(&parameters) {}

    // Throws UsageError when no parameter answers to text.
    Parameter& find(const std::string& text) const;
    // The same, for parameters the operator may change.
    ControlParameter& findControl(const std::string& text) const;
    // The value text names for parameter. Numbers and texts outside the
    // parameter's limits, and texts too long to send, are refused with a
    // UsageError naming the range.
    ParameterValue parseValue(const Parameter& parameter, const std::string& text) const;

    // "0x0303".
    static std::string idText(ParameterId id);
    // The display name, or empty when the parameter has none.
    static std::string name(const Parameter& parameter);
    // The name, or the identifier for a parameter without one.
    static std::string label(const Parameter& parameter);
    // The display text of value.
    static std::string valueText(const Parameter& parameter, const ParameterValue& value);
    // "1 (Arvo B)" for a number with a text of its own, else the text alone,
    // escaped for a terminal (TerminalText).
    static std::string shownValue(const Parameter& parameter, const ParameterValue& value);
    // "20..150", or "text" for a parameter whose values are texts.
    static std::string rangeText(const Parameter& parameter);
    // Whether the parameter's values are texts (names, addresses, versions).
    static bool takesText(const Parameter& parameter);
    // Whether the value is a number (two bytes) rather than text.
    static bool isNumber(const ParameterValue& value) { return value.length() == 2; }

private:
    ParameterSet* parameters_;
};
