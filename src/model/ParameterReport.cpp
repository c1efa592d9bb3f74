#include "model/ParameterReport.h"

#include "model/ParameterFormatter.h"

#include <sstream>

std::string escapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

namespace {

// Name and value text of a row; false when either cannot be formatted.
bool rowTexts(const Parameter& parameter, const ParameterValue& shown, std::string& name,
              std::string& value) {
    const ParameterFormatter* formatter = parameter.formatter();
    if (formatter == nullptr) {
        name = parameter.id().toText();
        value = std::to_string(shown.toSignedInt());
        return true;
    }
    std::ostringstream nameBuffer;
    std::ostringstream valueBuffer;
    if (!formatter->writeName(nameBuffer) || !parameter.format(valueBuffer, shown)) {
        return false;
    }
    name = nameBuffer.str();
    value = valueBuffer.str();
    return true;
}

} // namespace

void writeHtmlRow(std::ostream& stream, const Parameter& parameter, const ParameterValue& shown) {
    std::string name;
    std::string value;
    if (rowTexts(parameter, shown, name, value)) {
        stream << "<TR><TD>" << escapeHtml(name) << "</TD><TD>" << escapeHtml(value)
               << "</TD></TR>\r\n";
    }
}

std::string textRow(const Parameter& parameter, const ParameterValue& shown) {
    std::string name;
    std::string value;
    if (!rowTexts(parameter, shown, name, value)) {
        return {};
    }
    return name + ": " + value;
}

void writeHtmlTableHead(std::ostream& stream, const std::string& caption) {
    stream << "<BR><CAPTION><FONT SIZE=+1>" << caption << " </FONT></CAPTION>\r\n"
           << "<TABLE BORDER COLS=2>\r\n";
}
