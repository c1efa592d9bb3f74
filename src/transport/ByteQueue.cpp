#include "transport/ByteQueue.h"

#include "base/VerloException.h"

#include <algorithm>
#include <stdexcept>

ByteQueue::ByteQueue(std::uint32_t capacity, std::uint32_t producerWaitMs)
    : capacity_(capacity), producerWaitMs_(producerWaitMs) {
    if (capacity == 0) {
        throw std::invalid_argument("ByteQueue capacity must not be 0");
    }
    ring_.resize(capacity);
}

bool ByteQueue::push(std::uint8_t byte) {
    return push(&byte, 1);
}

bool ByteQueue::push(const std::uint8_t* bytes, std::size_t count) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (closed_) {
            return false;
        }
        if (count == 0) {
            break;
        }
        if (count_ == capacity_) {
            // The consumer may be waiting for exactly what is already queued.
            bytesAdded_.notify_all();
            const bool room = roomFreed_.wait_for(lock, std::chrono::milliseconds(producerWaitMs_),
                                                  [this] { return closed_ || count_ < capacity_; });
            if (!room) {
                throw VerloException("queue full");
            }
            continue;
        }
        const std::size_t chunk = std::min(count, capacity_ - count_);
        appendLocked(bytes, chunk);
        bytes += chunk;
        count -= chunk;
    }
    bytesAdded_.notify_all();
    return true;
}

void ByteQueue::appendLocked(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t tail = (head_ + count_) % capacity_;
    const std::size_t first = std::min(count, capacity_ - tail);
    std::copy(bytes, bytes + first, ring_.begin() + static_cast<std::ptrdiff_t>(tail));
    std::copy(bytes + first, bytes + count, ring_.begin());
    count_ += count;
}

bool ByteQueue::pop(std::uint8_t& byte) {
    return take(&byte, 1);
}

bool ByteQueue::take(std::uint8_t* buffer, std::size_t count) {
    {
        std::lock_guard lock(mutex_);
        if (count_ < count) {
            return false;
        }
        const std::size_t first = std::min(count, capacity_ - head_);
        const auto start = ring_.begin() + static_cast<std::ptrdiff_t>(head_);
        std::copy(start, start + static_cast<std::ptrdiff_t>(first), buffer);
        std::copy(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(count - first),
                  buffer + first);
        head_ = (head_ + count) % capacity_;
        count_ -= count;
    }
    roomFreed_.notify_one();
    return true;
}

std::size_t ByteQueue::waitForCount(std::size_t wanted, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    bytesAdded_.wait_for(lock, timeout, [this, wanted] { return closed_ || count_ >= wanted; });
    return count_;
}

void ByteQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    roomFreed_.notify_all();
    bytesAdded_.notify_all();
}

bool ByteQueue::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::size_t ByteQueue::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}
