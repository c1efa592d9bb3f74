#pragma once

#include <chrono>
#include <cstddef>
#include <sys/types.h>

// An open descriptor (a socket, a terminal, a pipe) with exactly one owner, which closes it
// once: when the owner is destroyed or given another descriptor. Moving hands it on.
//
// Its calls are the system's, except that a call a signal interrupted (EINTR) is made again,
// so that no caller needs a loop of its own for that.
class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes fd over; a negative fd means none (a failed open can be passed on as it is).
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // -1 when none is held.
    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes the descriptor held, if any, and takes fd over.
    void reset(int fd = -1);

    // One read of up to count bytes: the number read, 0 at the end of the stream, or -1 with
    // errno set (EAGAIN when a non-blocking descriptor has nothing yet).
    [[nodiscard]] ssize_t readSome(void* buffer, std::size_t count) const;
    // One write of up to count bytes, as readSome. A socket whose peer has gone fails with
    // EPIPE instead of raising SIGPIPE.
    [[nodiscard]] ssize_t writeSome(const void* bytes, std::size_t count) const;
    // Writes all count bytes to a blocking descriptor: 0, or the error number of the write
    // that failed (EIO for a write that took nothing).
    [[nodiscard]] int writeAll(const void* bytes, std::size_t count) const;
    // Waits at most timeout (rounded up to whole milliseconds, so that a deadline is not missed
    // by a fraction) for one of events: the events that occurred, among them POLLHUP, POLLERR
    // and POLLNVAL, which come unasked; 0 when the time passed; -1 with errno set on failure.
    [[nodiscard]] int pollFor(short events, std::chrono::steady_clock::duration timeout) const;

private:
    int fd_ = -1;
};
