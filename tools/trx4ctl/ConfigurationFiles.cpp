#include "ConfigurationFiles.h"

#include "AtomicFile.h"
#include "CommandErrors.h"
#include "InputFile.h"
#include "ParameterNames.h"
#include "ReadBack.h"
#include "TerminalText.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"

#include <ostream>
#include <set>
#include <sstream>

namespace {

// A full configuration is about 1 KB.
constexpr std::uint64_t maximumSize = 1024 * 1024;

std::string fileBytes(const std::string& path) {
    return InputFile::read(path, maximumSize, "a configuration file");
}

// Why the parameter cannot take value, or nothing when it can.
std::string unusable(const ControlParameter& parameter, const ParameterValue& value) {
    const std::string label = ParameterNames::label(parameter);
    if (ParameterNames::takesText(parameter)) {
        if (value.length() <= ParameterValue::maximumWireLength) {
            return {};
        }
        return label + " holds " + std::to_string(value.length()) +
               " bytes of text; it takes at most " +
               std::to_string(ParameterValue::maximumWireLength);
    }
    if (ParameterNames::isNumber(value) && parameter.withinLimits(value)) {
        return {};
    }
    return label + " holds " +
           (ParameterNames::isNumber(value) ? std::to_string(value.toSignedInt())
                                            : std::to_string(value.length()) + " bytes") +
           "; it takes " + ParameterNames::rangeText(parameter);
}

// The records of bytes; ignored, when given, counts the bytes after the
// checksum, which the format allows and the reader leaves unread.
ParameterValueMap parse(const std::string& bytes, std::size_t* ignored = nullptr) {
    std::istringstream stream(bytes, std::ios::binary);
    ParameterValueMap records(stream);
    if (ignored != nullptr) {
        const std::streamoff end = stream.tellg();
        *ignored = end < 0 ? 0 : bytes.size() - static_cast<std::size_t>(end);
    }
    return records;
}

} // namespace

ParameterValueMap ConfigurationFiles::read(const std::string& path, std::size_t* ignored) {
    const std::string bytes = fileBytes(path);
    try {
        return parse(bytes, ignored);
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
    ParameterValueMap records;
    try {
        records = parse(bytes);
    } catch (const VerloException& error) {
        throw FileError(path + ": " + error.what());
    }
    // Checked whole before anything is sent: a value no unit takes is the
    // file's fault, whichever unit it is loaded into.
    ParameterValueMap written;
    for (const auto& [id, value] : records) {
        const ControlParameter* control = params.controlParameters().lookup(id);
        if (control == nullptr) {
            throw FileError(path + ": " + ParameterNames::idText(id) +
                            " is no control parameter of this unit");
        }
        if (!control->restorable()) {
            continue;
        }
        if (const std::string fault = unusable(*control, value); !fault.empty()) {
            throw FileError(path + ": " + fault);
        }
        written[id] = value;
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
                                           : "\"" + TerminalText::escaped(value.toString()) + "\"";
}

} // namespace

void ConfigurationFiles::show(KORAParams& params, const std::string& path, std::ostream& out,
                              std::ostream& notes) {
    std::size_t ignored = 0;
    for (const auto& [id, value] : read(path, &ignored)) {
        out << heading(lookup(params, id), id) << ": " << shown(lookup(params, id), value) << '\n';
    }
    if (ignored > 0) {
        notes << "trx4ctl: " << path << ": " << ignored << " byte" << (ignored == 1 ? "" : "s")
              << " after the checksum ignored\n";
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
