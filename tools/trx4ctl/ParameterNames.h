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

    // ParameterText::shownValue escaped for a terminal (TerminalText).
    static std::string shownValue(const Parameter& parameter, const ParameterValue& value);

private:
    ParameterSet* parameters_;
};
