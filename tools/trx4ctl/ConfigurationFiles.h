#pragma once

#include "base/ParameterValueMap.h"

#include <cstddef>
#include <iosfwd>
#include <string>

class KORAParams;

// Configuration files ("*.trx") in the application's own format: save, show
// and diff. File failures throw FileException; failures of the unit
// VerloException. Files are read with ConfigurationFile::read and loaded
// with ConfigurationLoad::load.
namespace ConfigurationFiles {

// Writes the configuration as the application does, atomically (AtomicFile).
void save(KORAParams& params, const std::string& path);
// Each record of the file with its name and value text, named after params;
// bytes after the checksum are counted on notes.
void show(KORAParams& params, const std::string& path, std::ostream& out, std::ostream& notes);
// Each of ConfigurationDiff::between's differences as "ID NAME: LEFT ->
// RIGHT"; returns how many there are.
std::size_t diff(KORAParams& params, const ParameterValueMap& left, const ParameterValueMap& right,
                 std::ostream& out);

} // namespace ConfigurationFiles
