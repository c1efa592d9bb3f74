#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"

#include <iosfwd>
#include <map>
#include <vector>

// Values keyed by identifier, in identifier order: the form in which value
// lists travel between the protocol, the parameter maps and configuration files.
class ParameterValueMap : public std::map<ParameterId, ParameterValue> {
public:
    using std::map<ParameterId, ParameterValue>::map;
    ParameterValueMap() = default;

    // Reads a configuration file: a 32-bit little-endian record count, the
    // records (identifier and value file forms) and a 32-bit checksum. A later
    // record for an identifier replaces an earlier one. Raises VerloException
    // when the file is short, unreadable or its checksum does not match.
    explicit ParameterValueMap(std::istream& stream);

    // Writes every entry as a configuration file in the form read above.
    // Raises VerloException when any write fails, so a file that would not
    // load is never taken for saved.
    void save(std::ostream& stream) const;
};

// Identifiers whose values are requested, in request order.
using ParameterIdList = std::vector<ParameterId>;
