#include "ConfigurationFiles.h"

#include "AtomicFile.h"
#include "CommandErrors.h"
#include "InputFile.h"
#include "ParameterNames.h"
#include "ReadBack.h"

#include "catalogue/KORAParams.h"
#include "protocol/VerloException.h"

#include <ostream>
#include <set>
#include <sstream>

namespace {

// A full configuration is about 1 KB.
constexpr std::uint64_t maximumSize = 1024 * 1024;

std::string fileBytes(const std::string& path) {
    return InputFile::read(path, maximumSize, "a configuration file");
}

ParameterValueMap parse(const std::string& bytes) {
    std::istringstream stream(bytes, std::ios::binary);
    return ParameterValueMap(stream);
}

} // namespace

ParameterValueMap ConfigurationFiles::read(const std::string& path) {
    const std::string bytes = fileBytes(path);
    try {
        return parse(bytes);
    } catch (const VerloException& error) {
        throw FileError(path + ": " + error.what());
    }
}

ParameterValueMap ConfigurationFiles::controls(KORAParams& params) {
    std::ostringstream stream(std::ios::binary);
    params.saveControls(stream);
    return parse(stream.str());
}

void ConfigurationFiles::save(KORAParams& params, const std::string& path) {
    std::ostringstream stream(std::ios::binary);
    params.saveControls(stream);
    AtomicFile::write(path, stream.str());
}

void ConfigurationFiles::load(KORAParams& params, const std::string& path) {
    const std::string bytes = fileBytes(path);
    ParameterValueMap written;
    try {
        for (const auto& [id, value] : parse(bytes)) {
            const ControlParameter* control = params.controlParameters().lookup(id);
            if (control != nullptr && control->restorable()) {
                written[id] = value;
            }
        }
    } catch (const VerloException& error) {
        throw FileError(path + ": " + error.what());
    }
    std::istringstream stream(bytes, std::ios::binary);
    try {
        params.restoreControls(stream);
    } catch (const VerloException& error) {
        // The restore's message names nothing; what the unit holds now does.
        try {
            ReadBack::confirm(params, written, std::chrono::milliseconds(0));
        } catch (const VerloException& readBack) {
            throw VerloException(error.what() + std::string("; ") + readBack.what());
        }
        throw;
    }
    ReadBack::confirm(params, written);
}

namespace {

Parameter* lookup(KORAParams& params, ParameterId id) {
    if (Parameter* control = params.controlParameters().lookup(id)) {
        return control;
    }
    return params.statusParameters().lookup(id);
}

std::string heading(Parameter* parameter, ParameterId id) {
    std::string text = ParameterNames::idText(id);
    if (parameter == nullptr) {
        return text + " (unknown parameter)";
    }
    if (const std::string name = ParameterNames::name(*parameter); !name.empty()) {
        text += " " + name;
    }
    return text;
}

std::string shown(Parameter* parameter, const ParameterValue& value) {
    if (parameter != nullptr) {
        return ParameterNames::shownValue(*parameter, value);
    }
    return ParameterNames::isNumber(value) ? std::to_string(value.toSignedInt())
                                           : "\"" + value.toString() + "\"";
}

} // namespace

void ConfigurationFiles::show(KORAParams& params, const std::string& path, std::ostream& out) {
    for (const auto& [id, value] : read(path)) {
        out << heading(lookup(params, id), id) << ": " << shown(lookup(params, id), value) << '\n';
    }
}

std::size_t ConfigurationFiles::diff(KORAParams& params, const ParameterValueMap& left,
                                     const ParameterValueMap& right, std::ostream& out) {
    std::set<ParameterId> ids;
    for (const auto& entry : left) {
        ids.insert(entry.first);
    }
    for (const auto& entry : right) {
        ids.insert(entry.first);
    }
    std::size_t differences = 0;
    for (const ParameterId id : ids) {
        const auto l = left.find(id);
        const auto r = right.find(id);
        if (l != left.end() && r != right.end() && l->second == r->second) {
            continue;
        }
        ++differences;
        Parameter* parameter = lookup(params, id);
        out << heading(parameter, id) << ": "
            << (l == left.end() ? "(absent)" : shown(parameter, l->second)) << " -> "
            << (r == right.end() ? "(absent)" : shown(parameter, r->second)) << '\n';
    }
    return differences;
}
