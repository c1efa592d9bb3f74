#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"

#include <optional>
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

    // ParameterText::shownValue escaped for a terminal (TerminalText); an
    // automation port also names its pin in the window: "6 (Automation Port
    // 6, pin 7 in the window)".
    static std::string shownValue(const Parameter& parameter, const ParameterValue& value);
    // The window's pin (1..8) for an automation port value, else none.
    static std::optional<int> windowPin(const Parameter& parameter, const ParameterValue& value);

    // How the two numberings of the automation pins relate, for reports.
    static constexpr const char* pinNote =
        "Automation Port N is pin N+1 in the window's CP Automation Pin Assignments.";

private:
    ParameterSet* parameters_;
};
