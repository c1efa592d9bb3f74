#pragma once

#include "base/FileDescriptor.h"
#include "transport/ByteQueue.h"
#include "transport/SerialDeviceImplementation.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A TCP connection to the unit. A reader thread drains the socket into a bounded receive queue
// as bytes arrive; reads take whole requests from the queue.
class Win32Socket : public SerialDeviceImplementation {
public:
    struct QueueLimits {
        // Room for two of the largest packets (4-byte length and 16384-byte body), so that
        // one whole packet can always be read while the next one arrives.
        std::uint32_t capacity = 32768;
        std::uint32_t producerWaitMs = 10000;
    };

    // How long a connection attempt may take before it fails with ETIMEDOUT.
    static constexpr std::chrono::milliseconds connectTimeout{5000};

    // Connects to host (an IPv4 or IPv6 address, or a name) and port, and starts the reader
    // thread.
    // Every failure is a VerloException naming what went wrong, with the system's error
    // number and its words where there is one.
    Win32Socket(std::string host, std::uint16_t port);
    Win32Socket(std::string host, std::uint16_t port, QueueLimits limits);
    ~Win32Socket() override;
    Win32Socket(const Win32Socket&) = delete;
    Win32Socket& operator=(const Win32Socket&) = delete;

    void setTimeout(std::uint32_t milliseconds) override;
    void write(const std::uint8_t* bytes, std::size_t count) override;
    // Returns count once count bytes are queued, or 0 when the time-out passes first (never a
    // part of a request). When the connection has ended and the request cannot be met from
    // what was received before, throws ConnectionClosedException if the unit closed it, and
    // VerloException naming the cause otherwise.
    std::size_t read(std::uint8_t* buffer, std::size_t count) override;

    const std::string& host() const { return host_; }
    std::uint16_t port() const { return port_; }
    // Bytes received and not yet read.
    std::size_t queued() const { return queue_.count(); }
    // True once the reader thread has stopped: the peer closed, the connection failed, or the
    // queue stayed full for the whole producer wait.
    bool readerDone() const { return readerDone_; }

private:
    void connectSocket();
    void startReader();
    void readerLoop();
    void stopReader();

    std::string host_;
    std::uint16_t port_;
    std::uint32_t timeout_ = 0;
    FileDescriptor socket_;
    ByteQueue queue_;
    std::thread readerThread_;
    // Why the reader stopped; written before readerDone_ is set, read only after.
    std::string endReason_;
    std::atomic<bool> readerDone_{false};
    std::mutex startMutex_;
    std::condition_variable startSignal_;
    bool readerStarted_ = false;
};
