#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// Bounded first-in-first-out buffer between one producer (the TCP reader thread) and one
// consumer (the protocol's thread). A full queue makes the producer wait for room, for a
// limited time. Closing the queue wakes both sides: the producer stops, and the consumer can
// still take what was queued before.
class ByteQueue {
public:
    // capacity must not be 0.
    ByteQueue(std::uint32_t capacity, std::uint32_t producerWaitMs);
    ByteQueue(const ByteQueue&) = delete;
    ByteQueue& operator=(const ByteQueue&) = delete;

    // Appends one byte, waiting for room while no byte is taken for the producer wait;
    // VerloException "queue full" when no room came (the byte is not queued). Returns false,
    // queuing nothing, once the queue is closed.
    bool push(std::uint8_t byte);
    // Appends the bytes in order, each one as push(byte) does; bytes queued before a failure
    // stay queued.
    bool push(const std::uint8_t* bytes, std::size_t count);

    // Takes the oldest byte; false at once when the queue is empty.
    bool pop(std::uint8_t& byte);
    // Takes exactly count bytes, oldest first, when at least that many are queued; otherwise
    // takes none and returns false.
    bool take(std::uint8_t* buffer, std::size_t count);

    // Waits until at least `wanted` bytes are queued, the queue is closed or the time-out has
    // passed, and returns the number of bytes then queued.
    std::size_t waitForCount(std::size_t wanted, std::chrono::milliseconds timeout);

    // Accepts no more bytes from now on and wakes a waiting producer and consumer.
    void close();

    bool closed() const;
    std::size_t count() const;
    std::uint32_t capacity() const { return capacity_; }
    std::uint32_t producerWait() const { return producerWaitMs_; }

private:
    // Caller holds mutex_.
    void appendLocked(const std::uint8_t* bytes, std::size_t count);

    const std::uint32_t capacity_;
    const std::uint32_t producerWaitMs_;
    std::vector<std::uint8_t> ring_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool closed_ = false;
    mutable std::mutex mutex_;
    std::condition_variable roomFreed_;
    std::condition_variable bytesAdded_;
};
