#include "session/UnitsFile.h"

#include "base/InputFile.h"
#include "base/VerloException.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace {

constexpr std::uint64_t maximumUnitsFileSize = std::uint64_t{1024} * 1024;
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

ConnectionTarget parseTarget(const std::string& text) {
    const auto colon = text.find(':');
    const std::string scheme = text.substr(0, colon);
    if (colon == std::string::npos || (scheme != "tcp" && scheme != "serial")) {
        throw std::invalid_argument("'" + text +
                                    "' is neither tcp:HOST[:PORT] nor serial:COMn|/dev/PATH");
    }
    const std::string rest = text.substr(colon + 1);
    return scheme == "tcp" ? ConnectionTarget::parseTcp(rest) : ConnectionTarget::parseSerial(rest);
}

// "serve:HOST:PORT", or nothing when the field is absent.
std::optional<ConnectionTarget> parseServe(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.rfind("serve:", 0) != 0) {
        throw std::invalid_argument("'" + text + "' is not serve:HOST:PORT");
    }
    return ConnectionTarget::parseListen(text.substr(6));
}

} // namespace

std::vector<UnitEntry> readUnits(std::istream& in, const std::string& fileName) {
    std::vector<UnitEntry> units;
    std::string line;
    for (unsigned number = 1; std::getline(in, line); ++number) {
        // Editors on some systems start a UTF-8 file with an invisible byte-order mark.
        if (number == 1 && line.starts_with(byteOrderMark)) {
            line.erase(0, byteOrderMark.size());
        }
        const std::string where = fileName + ":" + std::to_string(number) + ": ";
        std::istringstream fields(line.substr(0, line.find('#')));
        std::string name;
        std::string target;
        std::string serve;
        std::string extra;
        if (!(fields >> name)) {
            continue;
        }
        if (!(fields >> target) || ((fields >> serve) && (fields >> extra))) {
            throw VerloException(
                where + "expected a name, one target and at most a serve " +
                "address, as in 'booth-1 tcp:10.0.0.5:4444 serve:127.0.0.1:14441'");
        }
        if (!std::all_of(name.begin(), name.end(), isNameCharacter)) {
            throw VerloException(where + "the name '" + name +
                                 "' may hold only letters, digits, '-' and '_'");
        }
        if (std::any_of(units.begin(), units.end(),
                        [&](const UnitEntry& unit) { return unit.name == name; })) {
            throw VerloException(where + "the name '" + name + "' is used twice");
        }
        try {
            units.push_back(UnitEntry{name, parseTarget(target), parseServe(serve)});
        } catch (const std::invalid_argument& error) {
            throw VerloException(where + error.what());
        }
    }
    if (in.bad()) {
        throw VerloException(fileName + ": cannot be read");
    }
    if (units.empty()) {
        throw VerloException(fileName + ": names no unit");
    }
    return units;
}

std::vector<UnitEntry> readUnitsFile(const std::string& path) {
    // Checked as configuration files are: a pipe or a device given by mistake
    // is refused at once instead of blocking.
    std::istringstream in(InputFile::read(path, maximumUnitsFileSize, "a units file"));
    return readUnits(in, path);
}
