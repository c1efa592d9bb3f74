#include "FileDescriptorDevice.h"

#include "base/VerloException.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <utility>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits are cut into slices so that a stop request is noticed quickly.
constexpr auto slice = std::chrono::milliseconds(50);
// Pause while part of a requested count has arrived and the rest is on its way.
constexpr auto trickle = std::chrono::milliseconds(2);

bool lostHost(int error) {
    return error == EPIPE || error == ECONNRESET || error == EIO || error == ENOTCONN ||
           error == ETIMEDOUT || error == EBADF;
}

} // namespace

FileDescriptorDevice::FileDescriptorDevice(FileDescriptor fd, std::uint32_t writeTimeoutMs)
    : fd_(std::move(fd)), writeTimeoutMs_(writeTimeoutMs) {
    // A blocking read or write would hold the unit past every time-out and stop request.
    const int flags = ::fcntl(fd_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd_.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        throw VerloException(std::string("Cannot use the host's connection: ") +
                             std::generic_category().message(errno));
    }
}

void FileDescriptorDevice::paceAt(std::uint32_t bytesPerSecond) {
    readPace_.emplace(bytesPerSecond);
    writePace_.emplace(bytesPerSecond);
}

void FileDescriptorDevice::setTimeout(std::uint32_t milliseconds) {
    timeoutMs_ = milliseconds;
}

bool FileDescriptorDevice::waitFor(short events, SteadyClock::time_point deadline) {
    while (!hostGone_) {
        if (interrupted_ && interrupted_()) {
            return false;
        }
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            return false;
        }
        const int ready =
            fd_.pollFor(events, std::min<SteadyClock::duration>(deadline - now, slice));
        if (ready < 0) {
            hostGone_ = true;
            return false;
        }
        if ((ready & events) != 0) {
            return true;
        }
        if ((ready & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            hostGone_ = true;
        }
    }
    return false;
}

void FileDescriptorDevice::write(const std::uint8_t* bytes, std::size_t count) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(writeTimeoutMs_);
    if (writePace_) {
        // The line has been free since the last write ended.
        writePace_->idleAt(SteadyClock::now());
    }
    std::size_t sent = 0;
    while (sent < count) {
        if (hostGone_) {
            throw VerloException("The host has closed the connection");
        }
        std::size_t chunk = count - sent;
        if (writePace_) {
            std::this_thread::sleep_until(writePace_->nextSlot());
            chunk = 1;
        }
        const ssize_t written = fd_.writeSome(bytes + sent, chunk);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            if (writePace_) {
                writePace_->crossed();
            }
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (lostHost(errno)) {
                hostGone_ = true;
            }
            throw VerloException("The host has closed the connection");
        }
        if (!waitFor(POLLOUT, deadline)) {
            if (hostGone_) {
                throw VerloException("The host has closed the connection");
            }
            throw VerloException("The host stopped reading");
        }
    }
}

std::size_t FileDescriptorDevice::read(std::uint8_t* buffer, std::size_t count) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs_);
    std::size_t received = 0;
    while (received < count && !hostGone_) {
        std::size_t chunk = count - received;
        if (readPace_) {
            if (readPace_->nextSlot() > deadline) {
                break;
            }
            std::this_thread::sleep_until(readPace_->nextSlot());
            chunk = 1;
        }
        const ssize_t n = fd_.readSome(buffer + received, chunk);
        if (n > 0) {
            received += static_cast<std::size_t>(n);
            if (readPace_) {
                readPace_->crossed();
            }
            continue;
        }
        if (n == 0) {
            hostGone_ = true;
            break;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            hostGone_ = true;
            break;
        }
        if (readPace_) {
            readPace_->idleAt(SteadyClock::now());
        }
        if (!waitFor(POLLIN, deadline)) {
            break;
        }
    }
    return received;
}

std::size_t FileDescriptorDevice::available() const {
    int count = 0;
    if (::ioctl(fd_.get(), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

bool FileDescriptorDevice::waitForBytes(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (!hostGone_) {
        const std::size_t ready = available();
        if (ready >= count) {
            return true;
        }
        if (ready > 0) {
            // Part of it is here; the rest follows within moments.
            if (SteadyClock::now() >= deadline || (interrupted_ && interrupted_())) {
                return false;
            }
            std::this_thread::sleep_for(trickle);
            continue;
        }
        if (!waitFor(POLLIN, deadline)) {
            return false;
        }
        if (available() == 0) {
            // Readable with nothing to read: the end of the stream. A peek that does not wait
            // cannot be interrupted.
            std::uint8_t probe = 0;
            const ssize_t n = ::recv(fd_.get(), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTSOCK)) {
                hostGone_ = true;
            }
        }
    }
    return false;
}

void FileDescriptorDevice::discardInput() {
    std::uint8_t scrap[4096];
    // Bounded: a host that keeps sending cannot hold the unit here.
    for (int round = 0; round < 256; ++round) {
        const ssize_t n = fd_.readSome(scrap, sizeof scrap);
        if (n <= 0) {
            if (n == 0) {
                hostGone_ = true;
            }
            return;
        }
    }
}

bool FileDescriptorDevice::hostHungUp() {
    std::uint8_t probe = 0;
    if (::recv(fd_.get(), &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
        hostGone_ = true;
    }
    return hostGone_;
}

bool FileDescriptorDevice::checkHostBack() {
    const int ready = fd_.pollFor(POLLIN, SteadyClock::duration::zero());
    hostGone_ = ready < 0 || (ready & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return !hostGone_;
}
