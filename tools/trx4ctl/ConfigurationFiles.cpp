#include "ConfigurationFiles.h"

#include "ParameterNames.h"
#include "TerminalText.h"

#include "base/AtomicFile.h"
#include "catalogue/KORAParams.h"
#include "model/ConfigurationDiff.h"
#include "model/ConfigurationFile.h"
#include "model/ParameterText.h"

#include <ostream>
#include <sstream>

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

std::string heading(const Parameter* parameter, ParameterId id) {
    if (parameter == nullptr) {
        return ParameterText::idText(id) + " (unknown parameter)";
    }
    return ParameterText::heading(*parameter);
}

std::string shown(const Parameter* parameter, const ParameterValue& value) {
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
    const auto differences = ConfigurationDiff::between(params, left, right);
    for (const ConfigurationDiff::Difference& difference : differences) {
        const Parameter* parameter = difference.parameter;
        out << heading(parameter, difference.id) << ": "
            << (difference.left ? shown(parameter, *difference.left) : "(absent)") << " -> "
            << (difference.right ? shown(parameter, *difference.right) : "(absent)") << '\n';
    }
    return differences.size();
}
