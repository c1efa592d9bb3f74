#include "ConfigurationFiles.h"

#include "ParameterNames.h"
#include "TerminalText.h"

#include "base/AtomicFile.h"
#include "catalogue/KORAParams.h"
#include "model/ConfigurationFile.h"
#include "model/ParameterText.h"

#include <ostream>
#include <set>
#include <sstream>

ParameterValueMap ConfigurationFiles::controls(KORAParams& params) {
    std::ostringstream stream(std::ios::binary);
    params.saveControls(stream);
    return ConfigurationFile::parse(stream.str());
}

void ConfigurationFiles::save(KORAParams& params, const std::string& path) {
    std::ostringstream stream(std::ios::binary);
    params.saveControls(stream);
    AtomicFile::write(path, stream.str());
}

namespace {

Parameter* lookup(KORAParams& params, ParameterId id) {
    if (Parameter* control = params.controlParameters().lookup(id)) {
        return control;
    }
    return params.statusParameters().lookup(id);
}

std::string heading(Parameter* parameter, ParameterId id) {
    if (parameter == nullptr) {
        return ParameterText::idText(id) + " (unknown parameter)";
    }
    return ParameterText::heading(*parameter);
}

std::string shown(Parameter* parameter, const ParameterValue& value) {
    if (parameter != nullptr) {
        return ParameterNames::shownValue(*parameter, value);
    }
    return ParameterText::isNumber(value) ? std::to_string(value.toSignedInt())
                                          : "\"" + TerminalText::escaped(value.toString()) + "\"";
}

} // namespace

void ConfigurationFiles::show(KORAParams& params, const std::string& path, std::ostream& out,
                              std::ostream& notes) {
    std::size_t ignored = 0;
    const ParameterValueMap records = ConfigurationFile::read(path, &ignored);
    for (const auto& [id, value] : records) {
        out << heading(lookup(params, id), id) << ": " << shown(lookup(params, id), value) << '\n';
    }
    if (records.empty()) {
        notes << "trx4ctl: " << path << " holds no settings\n";
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
