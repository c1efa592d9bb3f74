#include "model/ConfigurationFile.h"

#include "base/InputFile.h"
#include "base/VerloException.h"
#include "model/ControlParameterMap.h"
#include "model/ParameterText.h"

#include <sstream>

namespace {

// Why the parameter can never take value, or nothing when it can.
std::string unusable(const ControlParameter& parameter, const ParameterValue& value) {
    if (ParameterText::takesText(parameter)) {
        if (value.length() <= ParameterValue::maximumWireLength) {
            return {};
        }
        return "holds " + std::to_string(value.length()) + " bytes of text; it takes at most " +
               std::to_string(ParameterValue::maximumWireLength);
    }
    if (ParameterText::isNumber(value) && parameter.withinLimits(value)) {
        return {};
    }
    return "holds " +
           (ParameterText::isNumber(value) ? std::to_string(value.toSignedInt())
                                           : std::to_string(value.length()) + " bytes") +
           "; it takes " + ParameterText::rangeText(parameter);
}

} // namespace

ParameterValueMap ConfigurationFile::read(const std::string& path, std::size_t* ignored) {
    const std::string bytes = InputFile::read(path, maximumSize, "a configuration file");
    try {
        return parse(bytes, ignored);
    } catch (const VerloException& error) {
        throw FileException(path, path + ": " + error.what());
    }
}

ParameterValueMap ConfigurationFile::parse(const std::string& bytes, std::size_t* ignored) {
    std::istringstream stream(bytes, std::ios::binary);
    ParameterValueMap records(stream);
    if (ignored != nullptr) {
        const std::streamoff end = stream.tellg();
        *ignored = end < 0 ? 0 : bytes.size() - static_cast<std::size_t>(end);
    }
    return records;
}

ParameterValueMap ConfigurationFile::checked(ControlParameterMap& controls,
                                             const ParameterValueMap& records,
                                             const std::string& path) {
    // A file of zeros reads as no records and a matching checksum; no unit
    // ever saves such a configuration.
    if (records.empty()) {
        throw FileException(path, path + " holds no settings");
    }
    ParameterValueMap restorable;
    for (const auto& [id, value] : records) {
        const ControlParameter* parameter = controls.lookup(id);
        if (parameter == nullptr) {
            throw FileException(path, path + ": record " + ParameterText::idText(id) +
                                          ": no control parameter has this identifier");
        }
        if (const std::string fault = unusable(*parameter, value); !fault.empty()) {
            throw FileException(path, path + ": record " + ParameterText::heading(*parameter) +
                                          ": " + fault);
        }
        if (parameter->restorable()) {
            restorable.emplace(id, value);
        }
    }
    return restorable;
}
