#include "base/AtomicFile.h"

#include "base/FileDescriptor.h"
#include "base/VerloException.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

std::string systemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::generic_category().message(error);
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

// A name for the temporary file beside target: its name with a random suffix,
// shortened where that would pass the longest name a folder can hold.
std::string temporaryTemplate(const std::string& target) {
    const fs::path file(target);
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::size_t limit = longest > 0 ? static_cast<std::size_t>(longest) : 255;
    std::string name = file.filename().string();
    const std::string suffix = ".XXXXXX";
    if (name.size() + suffix.size() > limit) {
        name.resize(limit - suffix.size());
    }
    return (file.parent_path() / (name + suffix)).string();
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

    std::string temporary = temporaryTemplate(target);
    const FileDescriptor file(::mkstemp(temporary.data()));
    if (!file.isOpen()) {
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
    int error = ::fchmod(file.get(), mode) == 0 ? 0 : errno;
    if (error == 0) {
        error = file.writeAll(bytes.data(), bytes.size());
    }
    if (error == 0 && ::fsync(file.get()) != 0) {
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
