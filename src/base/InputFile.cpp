#include "base/InputFile.h"

#include "base/VerloException.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

std::string openingError(const std::string& path, const std::string& reason) {
    return "Error opening " + path + ": " + reason;
}

void checkKind(const std::string& path, const struct stat& status) {
    if (S_ISDIR(status.st_mode)) {
        throw FileException(path, openingError(path, "it is a directory, not a file"));
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileException(path, openingError(path, "it is not a regular file"));
    }
}

} // namespace

std::uint64_t InputFile::check(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        throw FileException(path, openingError(path, std::generic_category().message(errno)));
    }
    checkKind(path, status);
    return static_cast<std::uint64_t>(status.st_size);
}

std::string InputFile::read(const std::string& path, std::uint64_t limit, const std::string& what) {
    check(path);
    // Non-blocking: a pipe put in the file's place since the check does not
    // wait for a writer; the descriptor's own kind is checked again.
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (file < 0 || ::fstat(file, &status) != 0) {
        const std::string reason = std::generic_category().message(errno);
        if (file >= 0) {
            ::close(file);
        }
        throw FileException(path, openingError(path, reason));
    }
    try {
        checkKind(path, status);
        if (static_cast<std::uint64_t>(status.st_size) > limit) {
            throw FileException(path, path + " is " + std::to_string(status.st_size) +
                                          " bytes long, too long for " + what + " (at most " +
                                          std::to_string(limit) + " bytes)");
        }
        std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t count = ::read(file, bytes.data() + done, bytes.size() - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                throw FileException(path, "Error reading " + path + ": " +
                                              std::generic_category().message(errno));
            }
            if (count == 0) {
                break;
            }
            done += static_cast<std::size_t>(count);
        }
        // A file that shrank since it was measured is read as it is now.
        bytes.resize(done);
        ::close(file);
        return bytes;
    } catch (...) {
        ::close(file);
        throw;
    }
}
