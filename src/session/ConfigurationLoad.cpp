#include "session/ConfigurationLoad.h"

#include "base/VerloException.h"
#include "model/ConfigurationFile.h"
#include "model/ParameterSet.h"
#include "model/ParameterText.h"

namespace {

// How a failure is passed on, so that the caller reacts as it would to the
// failure itself: a refusal keeps the connection, a lost one does not.
enum class Failure { Unit, Refusal, LostConnection };

Failure kindOf(const VerloException& error) {
    if (dynamic_cast<const HostException*>(&error) != nullptr) {
        return Failure::Refusal;
    }
    if (dynamic_cast<const ProtocolException*>(&error) != nullptr) {
        return Failure::LostConnection;
    }
    return Failure::Unit;
}

[[noreturn]] void fail(Failure kind, const std::string& message) {
    switch (kind) {
    case Failure::Refusal:
        throw HostException(message);
    case Failure::LostConnection:
        throw ProtocolException(message);
    case Failure::Unit:
        break;
    }
    throw VerloException(message);
}

ParameterValueMap restorableValues(ControlParameterMap& controls) {
    ParameterValueMap values;
    for (const auto& [id, parameter] : controls) {
        if (parameter.restorable()) {
            values.emplace(id, parameter.value());
        }
    }
    return values;
}

// The settings whose value is not the one in values, with both.
std::string differences(ControlParameterMap& controls, const ParameterValueMap& values,
                        const char* wanted, const char* held) {
    std::string text;
    for (const auto& [id, value] : values) {
        const ControlParameter& parameter = controls.find(id);
        if (parameter.value() == value) {
            continue;
        }
        text += std::string(text.empty() ? "" : ", ") + ParameterText::label(parameter) + " (" +
                wanted + " " + ParameterText::shownValue(parameter, value) + ", " + held + " " +
                ParameterText::shownValue(parameter, parameter.value()) + ")";
    }
    return text;
}

} // namespace

ParameterValueMap ConfigurationLoad::read(ParameterSet& parameters, const std::string& path) {
    return ConfigurationFile::checked(parameters.controlParameters(), ConfigurationFile::read(path),
                                      path);
}

void ConfigurationLoad::load(ParameterSet& parameters, const std::string& path,
                             std::chrono::milliseconds readBackLimit) {
    write(parameters, path, read(parameters, path), readBackLimit);
}

void ConfigurationLoad::write(ParameterSet& parameters, const std::string& path,
                              const ParameterValueMap& wanted,
                              std::chrono::milliseconds readBackLimit) {
    ControlParameterMap& controls = parameters.controlParameters();
    parameters.refreshControls();
    const ParameterValueMap before = restorableValues(controls);

    std::string reason;
    Failure kind = Failure::Unit;
    try {
        const ParameterValueMap refused = controls.offer(wanted);
        if (refused.empty()) {
            ReadBack::confirm(parameters, wanted, readBackLimit);
            return;
        }
        reason = "the unit did not take " + differences(controls, refused, "file", "holds");
    } catch (const VerloException& error) {
        reason = error.what();
        kind = kindOf(error);
    }
    const std::string failed = "Loading " + path + " failed: " + reason;
    if (kind == Failure::LostConnection) {
        // Nothing more can be written or read; what the parameters last heard
        // from the unit is all there is to tell.
        const std::string changed = differences(controls, before, "before", "last read");
        fail(kind, failed + "; the settings held before could not be set back" +
                       (changed.empty() ? "" : "; these settings may now differ: " + changed));
    }

    std::string rollBackFailure;
    try {
        parameters.refreshControls();
        ParameterValueMap back;
        for (const auto& [id, value] : before) {
            if (controls.find(id).value() != value) {
                back.emplace(id, value);
            }
        }
        const ParameterValueMap refused = controls.offer(back);
        if (refused.empty()) {
            ReadBack::confirm(parameters, back, readBackLimit);
            parameters.refreshControls();
        } else {
            rollBackFailure =
                "the unit did not take back " + differences(controls, refused, "before", "holds");
        }
    } catch (const VerloException& error) {
        rollBackFailure = error.what();
        if (kindOf(error) == Failure::LostConnection) {
            kind = Failure::LostConnection;
        }
    }
    const std::string changed = differences(controls, before, "before", "now");
    if (rollBackFailure.empty() && changed.empty()) {
        fail(kind, failed + "; the settings held before the load were set back");
    }
    fail(kind, failed + "; setting back the settings held before failed" +
                   (rollBackFailure.empty() ? "" : " (" + rollBackFailure + ")") +
                   "; these settings now differ from before: " +
                   (changed.empty() ? "none known" : changed));
}
