#pragma once

#include <cstdint>
#include <string>

// Files read whole: regular files only, checked before a byte is read, so
// that a pipe, a device or a directory given by mistake is refused at once
// instead of blocking or being read without end. Failures throw FileException
// naming the path and the reason.
namespace InputFile {

// Checks that path names a regular file; returns its size.
std::uint64_t check(const std::string& path);
// The whole file, which may be at most limit bytes long; what refers to the
// kind of file in the message ("a configuration file").
std::string read(const std::string& path, std::uint64_t limit, const std::string& what);

} // namespace InputFile
