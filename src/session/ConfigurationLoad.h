#pragma once

#include "base/ParameterValueMap.h"
#include "session/ReadBack.h"

#include <chrono>
#include <string>

class ParameterSet;

// Loading a configuration file into the unit of a parameter set, all or
// nothing. The file is read and every record checked before anything is
// written; then its values are offered in the passes of
// ControlParameterMap::offer and read back. When the unit cannot take them
// all, the values it held before are set back through the same passes.
namespace ConfigurationLoad {

// Loads the file at path. A file that cannot be read or holds a record no
// unit could take throws FileException and writes nothing. A unit that
// refuses a value, answers with an Error or does not hold what was written
// throws the class of its failure (HostException, ProtocolException or
// VerloException) with the unit's own words, saying whether the earlier
// values were set back, or else which settings now differ from before.
void load(ParameterSet& parameters, const std::string& path,
          std::chrono::milliseconds readBackLimit = ReadBack::timeLimit);
// The two halves of load, for a caller that shows what will change between
// them: the file's checked records that a load writes (FileException when
// the file cannot be used), then writing them as load does; path only names
// the file in messages.
ParameterValueMap read(ParameterSet& parameters, const std::string& path);
void write(ParameterSet& parameters, const std::string& path, const ParameterValueMap& wanted,
           std::chrono::milliseconds readBackLimit = ReadBack::timeLimit);

} // namespace ConfigurationLoad
