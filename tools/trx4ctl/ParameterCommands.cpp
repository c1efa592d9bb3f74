#include "ParameterCommands.h"

#include "CommandErrors.h"
#include "ParameterNames.h"

#include "catalogue/KORAParams.h"
#include "model/ParameterText.h"
#include "model/ParameterTransaction.h"
#include "session/ReadBack.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <utility>

namespace {

void writeLine(std::ostream& out, const Parameter& parameter) {
    out << ParameterText::idText(parameter.id());
    if (const std::string name = ParameterText::name(parameter); !name.empty()) {
        out << ' ' << name;
    }
    out << ": " << ParameterNames::shownValue(parameter, parameter.value()) << '\n';
}

nlohmann::json describe(const Parameter& parameter, const char* kind, const char* source) {
    const ParameterValue& value = parameter.value();
    nlohmann::json entry{
        {"id", ParameterText::idText(parameter.id())},
        {"name", ParameterText::name(parameter)},
        {"kind", kind},
        {"source", source},
        {"minimum", parameter.minimum().toSignedInt()},
        {"maximum", parameter.maximum().toSignedInt()},
        {"text", ParameterText::valueText(parameter, value)},
    };
    if (const auto pin = ParameterNames::windowPin(parameter, value)) {
        entry["windowPin"] = *pin;
    }
    if (ParameterText::isNumber(value)) {
        entry["value"] = value.toSignedInt();
    } else {
        entry["value"] = value.toString();
    }
    return entry;
}

} // namespace

void ParameterCommands::list(KORAParams& params, std::ostream& out, bool json) {
    nlohmann::json all = nlohmann::json::array();
    const auto add = [&](const Parameter& parameter, const char* kind) {
        const char* source = parameter.source() == params.localSource() ? "local" : "device";
        if (json) {
            all.push_back(describe(parameter, kind, source));
            return;
        }
        out << ParameterText::idText(parameter.id()) << "  " << kind << '/' << source << "  "
            << ParameterText::rangeText(parameter) << "  "
            << ParameterNames::shownValue(parameter, parameter.value());
        if (const std::string name = ParameterText::name(parameter); !name.empty()) {
            out << "  " << name;
        }
        out << (parameter.source() == params.localSource() ? "  (not stored on the unit)\n" : "\n");
    };
    for (const auto& [id, parameter] : params.controlParameters()) {
        add(parameter, "control");
    }
    for (const auto& [id, parameter] : params.statusParameters()) {
        add(parameter, "status");
    }
    if (json) {
        // Text from the unit need not be UTF-8.
        out << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
}

void ParameterCommands::get(KORAParams& params, const std::vector<std::string>& names,
                            std::ostream& out) {
    const ParameterNames naming(params);
    for (const std::string& name : names) {
        writeLine(out, naming.find(name));
    }
}

void ParameterCommands::set(KORAParams& params, const std::vector<std::string>& assignments,
                            std::ostream& out) {
    const ParameterNames naming(params);
    std::vector<std::pair<ControlParameter*, ParameterValue>> changes;
    for (const std::string& assignment : assignments) {
        const auto equals = assignment.find('=');
        if (equals == std::string::npos) {
            throw UsageError("'" + assignment + "' is no PARAMETER=VALUE assignment");
        }
        ControlParameter& parameter = naming.findControl(assignment.substr(0, equals));
        // Their values live in this program only and end with it.
        if (parameter.source() == params.localSource()) {
            throw UsageError(ParameterText::label(parameter) + " (" +
                             ParameterText::idText(parameter.id()) +
                             ") is not stored on the unit; only the application keeps it");
        }
        changes.emplace_back(&parameter,
                             naming.parseValue(parameter, assignment.substr(equals + 1)));
    }

    ParameterTransaction transaction;
    ParameterValueMap written;
    for (auto& [parameter, value] : changes) {
        parameter->setValue(value, &transaction);
        written[parameter->id()] = value;
    }
    transaction.commit();
    ReadBack::confirm(params, written);
    params.refreshControls();
    for (const auto& change : changes) {
        writeLine(out, *change.first);
    }
}
