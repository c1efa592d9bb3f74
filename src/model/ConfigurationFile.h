#pragma once

#include "base/ParameterValueMap.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ControlParameterMap;

// Configuration files ("*.trx") read from a path and checked against what no
// unit could take, before any of their values goes near a unit. Failures
// throw FileException naming the file and, for a record, the record and why.
namespace ConfigurationFile {

// A full configuration is about 1 KB.
constexpr std::uint64_t maximumSize = std::uint64_t{1024} * 1024;

// The records of the file at path, a regular file of at most maximumSize
// bytes, opened without blocking. ignored, when given, receives the number
// of bytes after the checksum, which the format allows and leaves unread.
ParameterValueMap read(const std::string& path, std::size_t* ignored = nullptr);
// The records of bytes, a whole file's contents.
ParameterValueMap parse(const std::string& bytes, std::size_t* ignored = nullptr);
// The records a restore would write: every record must name a control
// parameter and hold a value within its limits (a text at most the longest a
// unit takes); records of parameters that are not restorable are left out.
ParameterValueMap checked(ControlParameterMap& controls, const ParameterValueMap& records,
                          const std::string& path);

} // namespace ConfigurationFile
