#include "base/AtomicFile.h"

#include "base/VerloException.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string systemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

// The file a chain of symbolic links ends at, which need not exist yet.
std::string finalTarget(const std::string& path) {
    fs::path current = path;
    std::error_code error;
    // The system gives up after 40 links as well.
    for (int links = 0; fs::is_symlink(fs::symlink_status(current, error)); ++links) {
        if (links == 40) {
            throw FileException(path, systemError("Error saving", path, ELOOP));
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) {
            throw FileException(path, systemError("Error saving", path, error.value()));
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current.string();
}

// Writes all of bytes; returns 0 or the error number.
int writeAll(int file, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return count < 0 ? errno : ENOSPC;
        }
        written += static_cast<std::size_t>(count);
    }
    return ::fsync(file) == 0 ? 0 : errno;
}

} // namespace

void AtomicFile::write(const std::string& path, const std::string& bytes) {
    const std::string target = finalTarget(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        throw FileException(path, "Error saving " + path + ": it is a directory");
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        throw FileException(path, "Error saving " + path + ": it is not a regular file");
    }

    std::string temporary = target + ".XXXXXX";
    const int file = ::mkstemp(temporary.data());
    if (file < 0) {
        throw FileException(path, systemError("Error saving", path, errno));
    }
    // mkstemp creates the file readable by its owner only: a replaced file
    // keeps its permissions, a new one gets the usual ones.
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int error = ::fchmod(file, mode) == 0 ? 0 : errno;
    if (error == 0) {
        error = writeAll(file, bytes);
    }
    if (::close(file) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        std::remove(temporary.c_str());
        throw FileException(path, systemError("Error saving", path, error));
    }
}
