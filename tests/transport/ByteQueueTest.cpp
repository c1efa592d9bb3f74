#include "transport/ByteQueue.h"

#include "protocol/VerloException.h"
#include "support/LoopbackServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::uint8_t> drain(ByteQueue& queue) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t byte = 0;
    while (bytes.size() <= queue.capacity() && queue.pop(byte)) {
        bytes.push_back(byte);
    }
    return bytes;
}

std::vector<std::uint8_t> sequence(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

} // namespace

TEST(ByteQueueTest, FillsToCapacityAtOnceThenRefusesAfterTheProducerWait) {
    ByteQueue roomy(8, 10000);
    const auto start = Clock::now();
    for (std::uint8_t i = 0; i < 8; ++i) {
        ASSERT_TRUE(roomy.push(i));
    }
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ(roomy.count(), 8u);

    ByteQueue queue(8, 50);
    queue.push(sequence(8).data(), 8);

    const auto waitStart = Clock::now();
    try {
        queue.push(99);
        FAIL() << "push into a full queue succeeded";
    } catch (const VerloException& e) {
        EXPECT_STREQ(e.what(), "queue full");
    }
    EXPECT_GE(Clock::now() - waitStart, 50ms);
    EXPECT_EQ(drain(queue), sequence(8));
}

TEST(ByteQueueTest, WaitingProducerSucceedsAsSoonAsOneByteIsTaken) {
    ByteQueue queue(4, 10000);
    queue.push(sequence(4).data(), 4);
    std::atomic<bool> pushed{false};
    Clock::time_point pushedAt;
    std::thread producer([&] {
        EXPECT_NO_THROW(queue.push(4));
        pushedAt = Clock::now();
        pushed = true;
    });
    EXPECT_FALSE(pushed);
    std::uint8_t oldest = 0;
    ASSERT_TRUE(queue.pop(oldest));
    const auto poppedAt = Clock::now();
    producer.join();
    EXPECT_EQ(oldest, 0);
    EXPECT_LT(pushedAt - poppedAt, 2s);
    EXPECT_EQ(drain(queue), sequence(4, 1));
}

TEST(ByteQueueTest, PopAndTakeOnTooFewBytesReturnFalseAndLeaveThem) {
    ByteQueue queue(8, 10);
    std::uint8_t byte = 7;
    EXPECT_FALSE(queue.pop(byte));
    EXPECT_EQ(byte, 7);

    queue.push(sequence(3).data(), 3);
    std::uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_FALSE(queue.take(buffer, 4));
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(queue.count(), 3u);
    EXPECT_TRUE(queue.take(buffer, 3));
    EXPECT_THAT(std::vector<std::uint8_t>(buffer, buffer + 3), testing::ElementsAre(0, 1, 2));
    EXPECT_EQ(queue.count(), 0u);
}

TEST(ByteQueueTest, KeepsOrderAcrossTheEndOfItsStorage) {
    ByteQueue queue(5, 10);
    std::vector<std::uint8_t> out;
    std::uint8_t next = 0;
    for (int round = 0; round < 40; ++round) {
        const std::size_t in = 1 + static_cast<std::size_t>(round) % 5;
        for (std::size_t i = 0; i < in; ++i) {
            ASSERT_TRUE(queue.push(next++));
        }
        std::uint8_t buffer[5] = {};
        ASSERT_TRUE(queue.take(buffer, in));
        out.insert(out.end(), buffer, buffer + in);
    }
    ASSERT_EQ(out.size(), static_cast<std::size_t>(next));
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], static_cast<std::uint8_t>(i)) << "at " << i;
    }
}

TEST(ByteQueueTest, BlockLargerThanCapacityPassesInOrderToAConcurrentConsumer) {
    ByteQueue queue(64, 5000);
    std::vector<std::uint8_t> sent(10000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    std::thread producer([&] {
        bool pushed = false;
        EXPECT_NO_THROW(pushed = queue.push(sent.data(), sent.size()));
        EXPECT_TRUE(pushed);
    });
    std::vector<std::uint8_t> received;
    const auto deadline = Clock::now() + 10s;
    std::uint8_t block[16];
    while (received.size() < sent.size() && Clock::now() < deadline) {
        const std::size_t want = std::min<std::size_t>(16, sent.size() - received.size());
        queue.waitForCount(want, 100ms);
        if (queue.take(block, want)) {
            received.insert(received.end(), block, block + want);
        }
    }
    producer.join();
    EXPECT_EQ(received, sent);
}

TEST(ByteQueueTest, CloseWakesBothSidesAndKeepsQueuedBytes) {
    ByteQueue queue(2, 10000);
    queue.push(sequence(2).data(), 2);
    std::atomic<bool> producerResult{true};
    std::thread producer([&] { producerResult = queue.push(9); });
    std::thread closer([&] {
        std::this_thread::sleep_for(20ms);
        queue.close();
    });
    const auto start = Clock::now();
    EXPECT_EQ(queue.waitForCount(3, 10s), 2u);
    producer.join();
    closer.join();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(producerResult);
    EXPECT_TRUE(queue.closed());
    EXPECT_FALSE(queue.push(5));
    EXPECT_EQ(drain(queue), sequence(2));
}

TEST(ByteQueueTest, RejectsZeroCapacity) {
    EXPECT_THROW(ByteQueue(0, 10), std::invalid_argument);
}
