#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class KORAParams;

// Reading and changing parameters: list, get and set.
namespace ParameterCommands {

// Every parameter, controls first, each with identifier, name, kind, range,
// value and its text; as a JSON array when json is set.
void list(KORAParams& params, std::ostream& out, bool json);
// One line per parameter named.
void get(KORAParams& params, const std::vector<std::string>& names, std::ostream& out);
// Assignments "PARAMETER=VALUE", all checked before anything is written and
// then written through one transaction, with the dependency rules applied,
// and read back (ReadBack). Prints the values the unit holds afterwards.
void set(KORAParams& params, const std::vector<std::string>& assignments, std::ostream& out);

} // namespace ParameterCommands
