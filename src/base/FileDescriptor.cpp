#include "base/FileDescriptor.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

FileDescriptor::~FileDescriptor() {
    reset();
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset(std::exchange(other.fd_, -1));
    }
    return *this;
}

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0) {
        // Not checked and never repeated: the number is released whatever close reports, and
        // by the time a retry came another thread may have been given the same number.
        ::close(fd_);
    }
    fd_ = fd;
}

ssize_t FileDescriptor::readSome(void* buffer, std::size_t count) const {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, count);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

ssize_t FileDescriptor::writeSome(const void* bytes, std::size_t count) const {
    for (;;) {
        ssize_t written = ::send(fd_, bytes, count, MSG_NOSIGNAL);
        if (written < 0 && errno == ENOTSOCK) {
            written = ::write(fd_, bytes, count);
        }
        if (written >= 0 || errno != EINTR) {
            return written;
        }
    }
}

int FileDescriptor::writeAll(const void* bytes, std::size_t count) const {
    const auto* next = static_cast<const std::uint8_t*>(bytes);
    while (count > 0) {
        const ssize_t written = writeSome(next, count);
        if (written < 0) {
            return errno;
        }
        // A write that takes nothing would be repeated for ever.
        if (written == 0) {
            return EIO;
        }
        next += written;
        count -= static_cast<std::size_t>(written);
    }
    return 0;
}

int FileDescriptor::pollFor(short events, std::chrono::steady_clock::duration timeout) const {
    using SteadyClock = std::chrono::steady_clock;
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        const auto waitMs = std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX);
        pollfd entry{fd_, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(waitMs));
        if (ready > 0) {
            return entry.revents;
        }
        // An interrupted wait goes on for the time left.
        if (ready == 0 || errno != EINTR) {
            return ready;
        }
    }
}
