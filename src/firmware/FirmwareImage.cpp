#include "firmware/FirmwareImage.h"

#include "base/VerloException.h"
#include "firmware/Validator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace {

// Reads exactly count bytes at offset unless the file ends or fails first;
// returns how many arrived.
std::size_t readAt(int file, std::uint8_t* buffer, std::size_t count, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(file, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

FirmwareImage::FirmwareImage(const std::string& path, const Validator& validator)
    : validator_(&validator) {
    try {
        openAndCheck(path);
    } catch (...) {
        close();
        throw;
    }
    position_ = headerSize;
}

void FirmwareImage::openAndCheck(const std::string& path) {
    // Non-blocking so that a FIFO given by mistake is refused instead of
    // waiting for a writer; regular files ignore the flag.
    file_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (file_ < 0 || ::fstat(file_, &status) != 0) {
        throw FileException(path, "Error opening " + path + ": " +
                                      std::generic_category().message(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileException(path, "Error opening " + path + ": it is not a regular file");
    }

    // Refused before anything is read: an image needs its header, at least
    // one payload byte to flash and the check value, and no more than
    // maximumSize bytes.
    const auto length = static_cast<std::uint64_t>(status.st_size);
    const std::size_t checksum = validator_->checksumSize();
    if (length < headerSize + checksum + 1) {
        throw FileException(path, path + " is not a firmware image: it is " +
                                      std::to_string(length) + " bytes long, too short for a " +
                                      std::to_string(headerSize) +
                                      "-byte header, a payload and a " + std::to_string(checksum) +
                                      "-byte checksum");
    }
    if (length > maximumSize) {
        throw FileException(path, path + " is not a firmware image: it is " +
                                      std::to_string(length) + " bytes long, more than the " +
                                      std::to_string(maximumSize) + " bytes (64 MiB) an image " +
                                      "may hold");
    }
    size_ = static_cast<std::uint32_t>(length);

    std::uint64_t offset = 0;
    try {
        validator_->validate(size_, [this, &offset, &path](std::span<std::uint8_t> piece) {
            if (readAt(file_, piece.data(), piece.size(), offset) != piece.size()) {
                throw FileException(path, "Error reading " + path +
                                              ": it ended or failed before its digest");
            }
            offset += piece.size();
        });
    } catch (const DataValidationException& error) {
        throw FileException(path, path + ": " + error.what() +
                                      ": the image's contents do not match the digest at its end "
                                      "(a damaged or incomplete file)");
    }
    std::array<std::uint8_t, versionTagLength> head{};
    const std::size_t got = readAt(file_, head.data(), head.size(), headerSize);
    version_ =
        versionIn(std::string(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(got)));
}

std::optional<FirmwareImage::Version> FirmwareImage::versionIn(const std::string& payloadHead) {
    if (payloadHead.rfind(versionTag, 0) != 0) {
        return std::nullopt;
    }
    Version version{};
    const char* cursor = payloadHead.data() + std::string_view(versionTag).size();
    const char* const end = payloadHead.data() + payloadHead.size();
    for (std::size_t part = 0; part < version.size(); ++part) {
        if (part > 0) {
            if (cursor == end || *cursor != '.') {
                return std::nullopt;
            }
            ++cursor;
        }
        unsigned number = 0;
        const auto [next, error] = std::from_chars(cursor, end, number);
        if (error != std::errc() || number > 255) {
            return std::nullopt;
        }
        version[part] = static_cast<std::uint8_t>(number);
        cursor = next;
    }
    return version;
}

std::string FirmwareImage::versionText(const Version& version) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]) + "." + std::to_string(version[3]);
}

FirmwareImage::~FirmwareImage() {
    close();
}

std::uint32_t FirmwareImage::payloadEnd() const {
    return size_ - static_cast<std::uint32_t>(validator_->checksumSize());
}

std::size_t FirmwareImage::readChunk(std::span<std::uint8_t, chunkSize> buffer) {
    // After a rewind the position is in the header, which is never sent.
    const std::uint32_t start = position_ < headerSize ? headerSize : position_;
    const std::uint32_t end = payloadEnd();
    if (start >= end) {
        return 0;
    }
    const std::size_t count = std::min<std::size_t>(chunkSize, end - start);
    // A file closed, shortened or unreadable since its check must not yield
    // a partial chunk: the unit would flash it as if it were whole.
    if (file_ < 0 || readAt(file_, buffer.data(), count, start) != count) {
        throw VerloException("error reading file");
    }
    position_ = start + static_cast<std::uint32_t>(count);
    return count;
}

void FirmwareImage::close() {
    if (file_ >= 0) {
        ::close(file_);
        file_ = -1;
    }
}
