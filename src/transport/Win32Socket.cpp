#include "transport/Win32Socket.h"

#include "base/VerloException.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds readerStartWait{1000};
// Large enough that a burst from the unit is drained in few system calls.
constexpr std::size_t receiveChunk = 4096;

// The error number followed by the system's words for it.
std::string errorCode(int code) {
    return std::to_string(code) + " (" + std::generic_category().message(code) + ")";
}

// Waits for a non-blocking connect to end; returns its error number, 0 once connected.
int awaitConnection(const FileDescriptor& socket, std::chrono::milliseconds timeout) {
    const int ready = socket.pollFor(POLLOUT, timeout);
    if (ready == 0) {
        return ETIMEDOUT;
    }
    if (ready < 0) {
        return errno;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

} // namespace

Win32Socket::Win32Socket(std::string host, std::uint16_t port)
    : Win32Socket(std::move(host), port, QueueLimits{}) {}

Win32Socket::Win32Socket(std::string host, std::uint16_t port, QueueLimits limits)
    : host_(std::move(host)), port_(port), queue_(limits.capacity, limits.producerWaitMs) {
    connectSocket();
    startReader();
}

// The socket closes after this, once the reader that uses it has been joined.
Win32Socket::~Win32Socket() {
    stopReader();
}

void Win32Socket::connectSocket() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port_);
    if (::getaddrinfo(host_.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) {
        throw VerloException("Unable to resolve server: " + host_ + ".  " +
                             "This probably means that the TCP address is not valid.  " +
                             "You may want to try entering the address in number format " +
                             "instead (127.12.23.12, for example).");
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);

    // Each address in turn (a name may have IPv6 and IPv4 ones), within one time limit for
    // them all. Connecting without waiting, then waiting with a limit: a blocking connect to
    // an address that drops packets would freeze the caller for minutes.
    const auto deadline = std::chrono::steady_clock::now() + connectTimeout;
    int error = ETIMEDOUT;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds::zero()) {
            error = ETIMEDOUT;
            break;
        }
        socket_.reset(::socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!socket_.isOpen()) {
            throw VerloException("Error creating a socket, code: " + errorCode(errno));
        }
        error = ::connect(socket_.get(), address->ai_addr, address->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            error = awaitConnection(socket_, left);
        }
        if (error == 0) {
            break;
        }
    }
    const int flags = error == 0 ? ::fcntl(socket_.get(), F_GETFL) : -1;
    if (error == 0 && (flags < 0 || ::fcntl(socket_.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)) {
        error = errno;
    }
    if (error != 0) {
        socket_.reset();
        throw VerloException("connect failed with error code " + errorCode(error) + ".  " +
                             "This probably means that the unit is not listening on " +
                             "the port and address provided.  Check the TCP/IP settings " +
                             "and try again.");
    }
    // Requests and replies are small and answered one by one: sending them at once matters
    // more than coalescing. Its result is not checked: only latency depends on it, so a
    // refusal is harmless. Lingering on close is already off by default.
    int noDelay = 1;
    ::setsockopt(socket_.get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
}

void Win32Socket::startReader() {
    try {
        readerThread_ = std::thread([this] { readerLoop(); });
    } catch (const std::system_error&) {
        throw VerloException("Error creating read thread");
    }
    std::unique_lock lock(startMutex_);
    if (!startSignal_.wait_for(lock, readerStartWait, [this] { return readerStarted_; })) {
        lock.unlock();
        stopReader();
        throw VerloException("The read thread didn't start");
    }
}

void Win32Socket::readerLoop() {
    // Drain the socket as bytes arrive. Raising the priority needs privileges the operator
    // may lack; the connection works without it.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -20);
    {
        std::lock_guard lock(startMutex_);
        readerStarted_ = true;
    }
    startSignal_.notify_all();

    std::array<std::uint8_t, receiveChunk> buffer{};
    for (;;) {
        const ssize_t received = socket_.readSome(buffer.data(), buffer.size());
        if (received < 0 && errno != ECONNRESET) {
            endReason_ = "The connection to the TRX4 failed with error code " + errorCode(errno);
            break;
        }
        if (received <= 0) {
            endReason_ = ConnectionClosedException::closed;
            break;
        }
        try {
            if (!queue_.push(buffer.data(), static_cast<std::size_t>(received))) {
                break;
            }
        } catch (const VerloException&) {
            // The queue stayed full: nobody has read for the whole producer wait; the
            // connection is treated as ended, and what was queued stays readable.
            endReason_ = "The TRX4's messages were not read in time; the connection was dropped";
            break;
        }
    }
    // Shut down rather than close: the descriptor belongs to the destructor, which closes it
    // once this thread is joined, so its number cannot be reused under a concurrent shutdown.
    // Unchecked: a connection the peer has reset reports ENOTCONN, and is just as shut.
    ::shutdown(socket_.get(), SHUT_RDWR);
    readerDone_ = true;
    queue_.close();
}

void Win32Socket::stopReader() {
    if (!readerThread_.joinable()) {
        return;
    }
    // Ends a blocking receive (unchecked, as in the reader); closing the queue ends a wait
    // for room.
    ::shutdown(socket_.get(), SHUT_RDWR);
    queue_.close();
    readerThread_.join();
}

void Win32Socket::setTimeout(std::uint32_t milliseconds) {
    timeout_ = milliseconds;
}

void Win32Socket::write(const std::uint8_t* bytes, std::size_t count) {
    const int error = socket_.writeAll(bytes, count);
    // A unit that has closed its end answers a write with a broken pipe or a reset.
    if (error == EPIPE || error == ECONNRESET) {
        throw ConnectionClosedException();
    }
    if (error != 0) {
        throw VerloException(std::string("send") + " failed with error code " + errorCode(error));
    }
}

std::size_t Win32Socket::read(std::uint8_t* buffer, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    std::size_t available = queue_.count();
    if (available < count && timeout_ > 0) {
        available = queue_.waitForCount(count, std::chrono::milliseconds(timeout_));
    }
    if (available >= count && queue_.take(buffer, count)) {
        return count;
    }
    if (readerDone_) {
        if (endReason_.empty() || endReason_ == ConnectionClosedException::closed) {
            throw ConnectionClosedException();
        }
        throw VerloException(endReason_);
    }
    return 0;
}
