#pragma once

#include <string>

// Writing a file so that a failure leaves the old one whole: the bytes go to
// a temporary file beside the target, which then replaces it. Failures throw
// FileException naming the path and the reason.
namespace AtomicFile {

// A symbolic link is followed and its final target replaced, so the link
// stays a link. A target that exists and is no regular file (a directory, a
// device, a pipe) is refused before anything is written.
void write(const std::string& path, const std::string& bytes);

} // namespace AtomicFile
