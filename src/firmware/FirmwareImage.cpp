#include "firmware/FirmwareImage.h"

#include "base/VerloException.h"
#include "firmware/Validator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

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
    if (file_ < 0 || ::fstat(file_, &status) != 0 || !S_ISREG(status.st_mode)) {
        throw VerloException("Error opening " + path);
    }

    // Refused before anything is read: an image needs its header, at least
    // one payload byte to flash and the check value, and no more than
    // maximumSize bytes.
    const auto length = static_cast<std::uint64_t>(status.st_size);
    const std::size_t checksum = validator_->checksumSize();
    if (length < headerSize + checksum + 1) {
        throw DataValidationException(
            path + " is not a firmware image: it is " + std::to_string(length) +
            " bytes long, too short for a " + std::to_string(headerSize) +
            "-byte header, a payload and a " + std::to_string(checksum) + "-byte checksum");
    }
    if (length > maximumSize) {
        throw DataValidationException(path + " is not a firmware image: it is " +
                                      std::to_string(length) + " bytes long, more than the " +
                                      std::to_string(maximumSize) + " bytes (64 MiB) an image " +
                                      "may hold");
    }
    size_ = static_cast<std::uint32_t>(length);

    std::uint64_t offset = 0;
    validator_->validate(size_, [this, &offset](std::span<std::uint8_t> piece) {
        if (readAt(file_, piece.data(), piece.size(), offset) != piece.size()) {
            throw VerloException("error reading file");
        }
        offset += piece.size();
    });
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
